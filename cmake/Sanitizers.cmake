# SPDX-License-Identifier: MIT
# QUILLMERE_SANITIZE=address,undefined (or thread) instruments every target of the build.
if(QUILLMERE_SANITIZE)
  add_compile_options(-fsanitize=${QUILLMERE_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${QUILLMERE_SANITIZE})
endif()
