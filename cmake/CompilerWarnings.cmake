# SPDX-License-Identifier: MIT
# Warnings for every target of the project, linked PRIVATE so they never leak to consumers.
add_library(quillmere_warnings INTERFACE)
add_library(quillmere::warnings ALIAS quillmere_warnings)
target_compile_options(quillmere_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
  -Wnull-dereference -Wformat=2 -Wimplicit-fallthrough)
if(QUILLMERE_WARNINGS_AS_ERRORS)
  target_compile_options(quillmere_warnings INTERFACE -Werror)
endif()
