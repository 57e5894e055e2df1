# SPDX-License-Identifier: MIT
# Hardening for every program of the project: the privileged tools, and the application and
# its libraries, which parse what the tools and the network send them.
add_library(quillmere_hardening_qt INTERFACE)
add_library(quillmere::hardening_qt ALIAS quillmere_hardening_qt)
target_compile_options(quillmere_hardening_qt INTERFACE
  -fstack-protector-strong -fstack-clash-protection -fcf-protection)
# Bounds-checked operator[] of std::span, std::array and the containers: the decoder indexes
# frames straight off the wire.
target_compile_definitions(quillmere_hardening_qt INTERFACE _GLIBCXX_ASSERTIONS)
# _FORTIFY_SOURCE needs optimisation and clashes with the sanitizers' interceptors. Debian's
# compiler may predefine a weaker level, so it is undefined before the strongest is set.
if(NOT QUILLMERE_SANITIZE)
  target_compile_options(quillmere_hardening_qt INTERFACE
    $<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=3>)
endif()
target_link_options(quillmere_hardening_qt INTERFACE -pie -Wl,-z,relro -Wl,-z,now -Wl,-z,noexecstack)

# The same for code without Qt, compiled position-independent for an executable. Qt code keeps
# the -fPIC that Qt's reduced relocations require (-fPIE there is refused at compile time),
# which links into a position-independent executable just as well; hence the two targets.
add_library(quillmere_hardening INTERFACE)
add_library(quillmere::hardening ALIAS quillmere_hardening)
target_compile_options(quillmere_hardening INTERFACE -fPIE)
target_link_libraries(quillmere_hardening INTERFACE quillmere::hardening_qt)
