# Hardening for the privileged tools (always) and anything else that opts in.
add_library(quillmere_hardening INTERFACE)
add_library(quillmere::hardening ALIAS quillmere_hardening)
target_compile_options(quillmere_hardening INTERFACE
  -fstack-protector-strong -fstack-clash-protection -fPIE)
# _FORTIFY_SOURCE needs optimisation and clashes with the sanitizers' interceptors.
if(NOT QUILLMERE_SANITIZE)
  target_compile_definitions(quillmere_hardening INTERFACE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
endif()
target_link_options(quillmere_hardening INTERFACE -pie -Wl,-z,relro -Wl,-z,now -Wl,-z,noexecstack)
