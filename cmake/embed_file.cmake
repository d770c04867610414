# cmake -DINPUT=file -DOUTPUT=header -DNAME=SYMBOL -P embed_file.cmake: writes a header declaring
# SYMBOL, a std::string_view of the file's bytes (and SYMBOL_BYTES, the NUL-terminated array behind
# it). Run at build time by maneshade_embed_text (embed_text.cmake).
file(READ ${INPUT} bytes HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${bytes}")
string(REGEX REPLACE "(('[^']+',){16})" "\\1\n  " bytes "${bytes}")
get_filename_component(source_name ${INPUT} NAME)
file(WRITE ${OUTPUT}.tmp "// Generated at build time from ${source_name}: edit that file instead.
#pragma once
#include <string_view>

inline constexpr char ${NAME}_BYTES[] = {
  ${bytes}'\\0'};
inline constexpr std::string_view ${NAME}{${NAME}_BYTES, sizeof ${NAME}_BYTES - 1};
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
