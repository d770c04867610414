# cmake -DSOURCE_DIR=<root> -P cmake/check_layers.cmake: fails when a file of the module includes
# a header of a layer above its own, or when <windows.h> appears outside the two files that may
# use it. The layers, from the bottom: runtime, platform, encoding/ini (beside the platform: the
# reader takes text and reads no file), src/config, host (beside the configuration: it needs only
# itself), src/script, module. Each folder may include its own headers and those of the layers it
# is listed with; the tools, tests and benchmarks sit on top.
cmake_minimum_required(VERSION 3.25)

set(allowed_runtime runtime)
set(allowed_platform platform runtime)
set(allowed_encoding/ini encoding/ini runtime)
set(allowed_src/config src/config encoding/ini platform runtime)
set(allowed_host host)
set(allowed_src/script src/script src/config encoding/ini host platform runtime)
set(allowed_module module src/script src/config host runtime)
set(allowed_tools/pe tools/pe)
set(layers runtime platform encoding/ini src/config host src/script module tools/pe)
set(windows_files platform/platform_win32.cpp module/dll_entry.cpp)

set(failures 0)
foreach(layer IN LISTS layers)
  file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp)
  foreach(file IN LISTS files)
    file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*$" "\\1" header "${line}")
      string(TOLOWER "${header}" lowered)
      if(lowered STREQUAL "windows.h" AND NOT file IN_LIST windows_files)
        message(SEND_ERROR "${file}: includes <windows.h>; only ${windows_files} may")
        math(EXPR failures "${failures} + 1")
      endif()
      if(line MATCHES "<" OR NOT header MATCHES "/")
        continue()  # system headers, and headers generated into the build folder
      endif()
      set(ok FALSE)
      foreach(prefix IN LISTS allowed_${layer})
        if(header MATCHES "^${prefix}/")
          set(ok TRUE)
        endif()
      endforeach()
      if(NOT ok)
        message(SEND_ERROR "${file}: includes \"${header}\", which ${layer} must not depend on (allowed: ${allowed_${layer}})")
        math(EXPR failures "${failures} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} include(s) against the layering")
endif()
message(STATUS "layering: every include of ${layers} points down")
