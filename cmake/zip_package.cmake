# Run by cpack (the External generator, CPACK_EXTERNAL_PACKAGE_SCRIPT) over the files it has staged:
# makes the release ZIP, the same bytes from the same commit wherever, whenever and by whomever it
# is made.
# - Its entries in byte order of their names; no entries for folders.
# - Every entry's time is SOURCE_DATE_EPOCH: the environment's if it is set, else the commit's time
#   (`git log -1 --format=%ct`), else, in a tree that is no git checkout, 1980-01-01 00:00:00 UTC
#   (the earliest a ZIP entry can hold). Written in UTC.
# - In a git checkout it warns when the package is not the commit's: when the work tree differs
#   from the commit (a change, or a file git does not ignore), or when the environment's
#   SOURCE_DATE_EPOCH is not the commit's time.
# - Fixed permissions: rwxr-xr-x for programs (.exe), rw-r--r-- for the rest.
# - No owner, group, access or change time: Info-ZIP's zip with -X stores none of them (CPack's own
#   ZIP writer, libarchive's, stores them all, with no setting to leave them out).
# Needs Info-ZIP's zip (Debian's zip package) and touch.
cmake_minimum_required(VERSION 3.25)

set(stage "${CPACK_TEMPORARY_DIRECTORY}")
set(package "${CPACK_TOPLEVEL_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.zip")

set(source "${CPACK_MANESHADE_SOURCE_DIR}")
set(commit_epoch "")
if(EXISTS "${source}/.git")
  find_program(GIT_PROGRAM git)
  if(NOT GIT_PROGRAM)
    message(FATAL_ERROR "zip_package.cmake: the tree is a git checkout but git is missing; install git or set SOURCE_DATE_EPOCH")
  endif()
  execute_process(COMMAND "${GIT_PROGRAM}" -C "${source}" log -1 --format=%ct:%H
                  OUTPUT_VARIABLE head ERROR_VARIABLE git_error RESULT_VARIABLE git_result
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT git_result EQUAL 0)
    if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
      message(FATAL_ERROR "zip_package.cmake: git cannot read the commit's time (${git_error}); set SOURCE_DATE_EPOCH")
    endif()
    message(NOTICE "zip_package.cmake: warning: git cannot read the commit (${git_error}): whether this package is the commit's is not known")
  else()
    string(REGEX REPLACE ":.*" "" commit_epoch "${head}")
    string(REGEX REPLACE ".*:" "" commit "${head}")
    execute_process(COMMAND "${GIT_PROGRAM}" -C "${source}" status --porcelain
                    OUTPUT_VARIABLE changes ERROR_VARIABLE git_error RESULT_VARIABLE git_result)
    if(NOT git_result EQUAL 0)
      message(NOTICE "zip_package.cmake: warning: git cannot tell whether the work tree differs from commit ${commit} (${git_error})")
    elseif(NOT changes STREQUAL "")
      string(REGEX MATCHALL "\n" lines "\n${changes}")
      list(LENGTH lines changed)
      math(EXPR changed "${changed} - 1")
      message(NOTICE "zip_package.cmake: warning: the work tree differs from commit ${commit} (${changed} files changed or not in git): this package is not that commit's")
    endif()
  endif()
endif()
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
  set(epoch_from "the environment's SOURCE_DATE_EPOCH")
  if(NOT commit_epoch STREQUAL "" AND NOT epoch STREQUAL commit_epoch)
    message(NOTICE "zip_package.cmake: warning: the ZIP is dated by the environment's SOURCE_DATE_EPOCH, ${epoch}, not by the commit's time, ${commit_epoch}: it is not the commit's ZIP")
  endif()
elseif(NOT commit_epoch STREQUAL "")
  set(epoch "${commit_epoch}")
  set(epoch_from "the commit's time")
else()
  set(epoch_from "1980-01-01: a tree that is no git checkout, and no SOURCE_DATE_EPOCH")
  set(epoch 315532800)
  message(NOTICE "zip_package.cmake: warning: no git checkout and no SOURCE_DATE_EPOCH: the ZIP is dated 1980-01-01, not as a release of this source is; for a release's bytes set SOURCE_DATE_EPOCH to its BUILDINFO's Source-Date-Epoch")
endif()
if(NOT epoch MATCHES "^[0-9]+$" OR epoch LESS 315532800)
  message(FATAL_ERROR "zip_package.cmake: SOURCE_DATE_EPOCH '${epoch}' is no time a ZIP entry can hold (seconds since 1970, from 1980 on)")
endif()

find_program(ZIP_PROGRAM zip)
find_program(TOUCH_PROGRAM touch)
if(NOT ZIP_PROGRAM OR NOT TOUCH_PROGRAM)
  message(FATAL_ERROR "zip_package.cmake: zip or touch is missing; install Debian's zip package")
endif()

file(GLOB_RECURSE members RELATIVE "${stage}" "${stage}/*")
list(SORT members)
if(NOT members)
  message(FATAL_ERROR "zip_package.cmake: cpack staged no files in ${stage}")
endif()
foreach(member IN LISTS members)
  if(member MATCHES "\\.exe$")
    file(CHMOD "${stage}/${member}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  else()
    file(CHMOD "${stage}/${member}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()
endforeach()
execute_process(COMMAND "${TOUCH_PROGRAM}" -d "@${epoch}" ${members} WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)

# zip adds to an archive that exists; ZIPOPT and ZIP in the environment would add options.
file(REMOVE "${package}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env --unset=ZIPOPT --unset=ZIP TZ=UTC0
                        "${ZIP_PROGRAM}" -X -D -9 -q "${package}" ${members}
                WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)
list(JOIN members ", " names)
message(STATUS "zip_package.cmake: ${CPACK_PACKAGE_FILE_NAME}.zip: ${names}; dated ${epoch}, ${epoch_from}")
set(CPACK_EXTERNAL_BUILT_PACKAGES "${package}")
