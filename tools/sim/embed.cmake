# cmake -DINPUT=file -DOUTPUT=header -DNAME=SYMBOL -P embed.cmake: writes a header holding the
# file's bytes as `constexpr unsigned char SYMBOL[]`, so that a text file of the repository is
# built into a program and stays editable as a file.
file(READ ${INPUT} bytes HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n  " bytes "${bytes}")
get_filename_component(source_name ${INPUT} NAME)
file(WRITE ${OUTPUT}.tmp "// Generated at build time from ${source_name}: do not edit; edit that file.\n#pragma once\n\nconstexpr unsigned char ${NAME}[] = {\n  ${bytes}\n};\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
