# maneshade_embed_text(HEADER NAME FILE): writes HEADER, declaring `NAME`, a std::string_view
# constant holding the bytes of FILE, so programs carry a text file of the repository (a sample,
# a scenario) without reading it at run time. Regenerated when FILE changes.
function(maneshade_embed_text header name file)
  file(READ ${file} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  file(CONFIGURE OUTPUT ${header} CONTENT
"// Generated from ${file}; edit that file instead.
#pragma once
#include <string_view>
inline constexpr char ${name}_BYTES[] = {${bytes} '\\0'};
inline constexpr std::string_view ${name}{${name}_BYTES, sizeof ${name}_BYTES - 1};
" @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
endfunction()
