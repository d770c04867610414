# What every build does so that a release is the same bytes wherever, whenever and by whomever it is
# built (scripts/check-reproducible.sh proves it, scripts/reproduce.sh lets anyone redo it):
# - No build folder in any file. __FILE__ (the log's and the assertions' call sites) and the debug
#   information name a source by its path from the repository root: src/config/reload.cpp.
# - No time stamp. The linkers write none into the PE header; the release ZIP's entries carry the
#   commit's time (cmake/zip_package.cmake).
# Included by the root CMakeLists.txt before any target is made, so that every target gets it; the
# compile options are for C and C++ only (the resource compilers take none of them).

set(source_root "${PROJECT_SOURCE_DIR}")
if(MSVC AND CMAKE_CXX_COMPILER_ID STREQUAL "MSVC")
  # Microsoft's cl.exe: /d1trimfile: cuts the prefix from __FILE__. It has to be written as the
  # compiler sees the sources, with backslashes; the trailing one keeps the names relative (a path
  # with a space is quoted, and a backslash before the closing quote would escape it).
  file(TO_NATIVE_PATH "${source_root}" native_root)
  if(NOT native_root MATCHES " ")
    string(APPEND native_root "\\")
  endif()
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:/Brepro>" "$<$<COMPILE_LANGUAGE:C,CXX>:/d1trimfile:${native_root}>")
  # /Brepro: link.exe writes a hash of the image in place of the time stamp.
  add_link_options(/Brepro)
elseif(MSVC)
  # clang-cl (the MSVC mode): it has no /d1trimfile:, and takes clang's own prefix maps through
  # /clang:. /Brepro gives objects no time stamp, and lld-link a hash of the image in its place.
  add_compile_options(
    "$<$<COMPILE_LANGUAGE:C,CXX>:/clang:-fmacro-prefix-map=${source_root}/=;/clang:-fdebug-prefix-map=${source_root}/=;/Brepro>")
  add_link_options(/Brepro)
else()
  # GCC and clang. Not -ffile-prefix-map: GCC's would also rewrite the paths in the coverage notes,
  # which gcovr reads to find the sources.
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-fmacro-prefix-map=${source_root}/=;-fdebug-prefix-map=${source_root}/=>")
  if(MINGW)
    add_link_options(-Wl,--no-insert-timestamp)
  endif()
endif()

# The copyright line, from LICENSE, for the version resources (LegalCopyright).
file(STRINGS "${PROJECT_SOURCE_DIR}/LICENSE" MANESHADE_COPYRIGHT REGEX "^Copyright " LIMIT_COUNT 1)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/LICENSE")
if(NOT MANESHADE_COPYRIGHT)
  message(FATAL_ERROR "LICENSE has no \"Copyright ...\" line")
endif()
