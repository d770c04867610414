# Run by cpack after it has made the release ZIP (CPACK_POST_BUILD_SCRIPTS): writes SHA256SUMS beside
# it, one line for every file in the ZIP and one for the ZIP itself, in the form `sha256sum -c`
# reads ("<64 lowercase hex digits>  <name>"). The files are hashed as the ZIP holds them (it is
# unpacked into a scratch folder), so the sums are those of what a player unpacks. They go out with
# the release, beside the ZIP: a player compares them with `certutil -hashfile FILE SHA256`.
cmake_minimum_required(VERSION 3.25)

# The script runs while the ZIP is still in cpack's own folder; cpack then copies it to the output
# folder, where SHA256SUMS goes.
if(NOT CPACK_PACKAGE_FILES)
  message(FATAL_ERROR "sha256sums.cmake: cpack made no package")
endif()
set(folder "${CPACK_OUTPUT_FILE_PREFIX}")
if(NOT folder)
  set(folder "${CPACK_PACKAGE_DIRECTORY}")
endif()
# The External generator lists its metadata (a .json) among the package files: only the ZIP counts.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.zip$")
    continue()
  endif()
  get_filename_component(package_name "${package}" NAME)
  set(scratch "${CPACK_TOPLEVEL_DIRECTORY}/sha256sums")
  file(REMOVE_RECURSE "${scratch}")
  file(MAKE_DIRECTORY "${scratch}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf "${package}" WORKING_DIRECTORY "${scratch}"
                  RESULT_VARIABLE unpacked)
  if(NOT unpacked EQUAL 0)
    message(FATAL_ERROR "sha256sums.cmake: cannot unpack ${package}")
  endif()
  file(GLOB_RECURSE members RELATIVE "${scratch}" "${scratch}/*")
  list(SORT members)
  set(sums "")
  foreach(member IN LISTS members)
    file(SHA256 "${scratch}/${member}" sum)
    string(APPEND sums "${sum}  ${member}\n")
  endforeach()
  file(SHA256 "${package}" sum)
  string(APPEND sums "${sum}  ${package_name}\n")
  file(WRITE "${folder}/SHA256SUMS" "${sums}")
  file(REMOVE_RECURSE "${scratch}")
  message(STATUS "sha256sums.cmake: ${folder}/SHA256SUMS written")
endforeach()
