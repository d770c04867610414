# maneshade_script_hook_def(OUT KIND): derives, from host/ScriptHookVanta.def (lines of the form
# `mingw_name == "decorated_name"`), the .def that one toolchain needs:
#   IMPORT_MSVC  the decorated names alone, for `lib /def` (MSVC's own names are the decorated ones);
#   EXPORT       what a DLL that defines the sixteen links with: under MSVC the decorated names, under
#                mingw `"decorated_name" = mingw_name`. (GNU ld also reads `==` in a DLL's .def, but it
#                then orders the export name table by the mingw names; Windows looks exports up by
#                binary search over that table, so it must be ordered by the names it exports.)
# The mingw import library is made from host/ScriptHookVanta.def itself (dlltool reads `==`).
set(MANESHADE_SCRIPT_HOOK_DEF ${CMAKE_CURRENT_LIST_DIR}/../host/ScriptHookVanta.def)

function(maneshade_script_hook_def out kind)
  file(STRINGS ${MANESHADE_SCRIPT_HOOK_DEF} lines)
  set(body "; Made from host/ScriptHookVanta.def by cmake/script_hook_def.cmake: edit that file.\nLIBRARY ScriptHookVanta.dll\nEXPORTS\n")
  set(count 0)
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^[ \t]*([A-Za-z0-9_]+)[ \t]*==[ \t]*\"([^\"]+)\"[ \t]*$")
      continue()
    endif()
    set(mingw_name ${CMAKE_MATCH_1})
    set(decorated ${CMAKE_MATCH_2})
    math(EXPR count "${count} + 1")
    if(kind STREQUAL "EXPORT" AND MINGW)
      string(APPEND body "    \"${decorated}\" = ${mingw_name}\n")
    else()
      string(APPEND body "    ${decorated}\n")
    endif()
  endforeach()
  if(NOT count EQUAL 16)
    message(FATAL_ERROR "${MANESHADE_SCRIPT_HOOK_DEF}: found ${count} `mingw_name == \"decorated\"` lines, want 16")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${MANESHADE_SCRIPT_HOOK_DEF})
  # Rewritten only when it changes, so that a configure run does not relink what uses it.
  if(EXISTS ${out})
    file(READ ${out} old)
    if(old STREQUAL body)
      return()
    endif()
  endif()
  file(WRITE ${out} "${body}")
endfunction()
