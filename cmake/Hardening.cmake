# SPDX-License-Identifier: MIT
# Hardening for the privileged tools (always) and anything else that opts in.
add_library(quillmere_hardening INTERFACE)
add_library(quillmere::hardening ALIAS quillmere_hardening)
target_compile_options(quillmere_hardening INTERFACE
  -fstack-protector-strong -fstack-clash-protection -fcf-protection -fPIE)
# Bounds-checked operator[] of std::span, std::array and the containers: the decoder indexes
# frames straight off the wire.
target_compile_definitions(quillmere_hardening INTERFACE _GLIBCXX_ASSERTIONS)
# _FORTIFY_SOURCE needs optimisation and clashes with the sanitizers' interceptors. Debian's
# compiler may predefine a weaker level, so it is undefined before the strongest is set.
if(NOT QUILLMERE_SANITIZE)
  target_compile_options(quillmere_hardening INTERFACE
    $<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=3>)
endif()
target_link_options(quillmere_hardening INTERFACE -pie -Wl,-z,relro -Wl,-z,now -Wl,-z,noexecstack)
