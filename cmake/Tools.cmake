# SPDX-License-Identifier: MIT
# quillmere_add_tool(<name> SOURCES <files...> [LIBRARIES <libs...>])
# A privileged helper: plain C++ without Qt, hardened, built into libexec/quillmere
# in the build tree and installed there, where the application looks for it.
function(quillmere_add_tool name)
  cmake_parse_arguments(PARSE_ARGV 1 TOOL "" "" "SOURCES;LIBRARIES")
  add_executable(${name} ${TOOL_SOURCES})
  target_link_libraries(${name} PRIVATE quillmere::warnings quillmere::hardening ${TOOL_LIBRARIES})
  set_target_properties(${name} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${QUILLMERE_LIBEXEC_OUTPUT_DIRECTORY})
  install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/quillmere COMPONENT common)
endfunction()
