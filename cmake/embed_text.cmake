# maneshade_embed_text(TARGET NAME FILE): builds FILE (a sample, a scenario) into TARGET as the
# std::string_view constant NAME, declared in the generated header <name in lowercase>.h, which
# TARGET and its users include. Regenerated whenever FILE changes, so the file stays the thing to edit.
set(MANESHADE_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/embed_file.cmake)

function(maneshade_embed_text target name file)
  string(TOLOWER ${name} header_name)
  set(header ${CMAKE_CURRENT_BINARY_DIR}/generated/${header_name}.h)
  add_custom_command(OUTPUT ${header}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${file} -DOUTPUT=${header} -DNAME=${name} -P ${MANESHADE_EMBED_SCRIPT}
    DEPENDS ${file} ${MANESHADE_EMBED_SCRIPT} VERBATIM)
  # Made by a target of its own, so that the header waits only for FILE, not for what TARGET links.
  add_custom_target(${target}_${header_name} DEPENDS ${header})
  add_dependencies(${target} ${target}_${header_name})
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_BINARY_DIR}/generated)
endfunction()
