# SPDX-License-Identifier: MIT
# Installing the way Linux software installs, and a Debian package built with CPack.
#
# A package uses prefix /usr, keeps the helpers in /usr/lib/quillmere
# (-DCMAKE_INSTALL_LIBEXECDIR=lib), ships the capture helper in /usr/libexec/Quillmere
# (-DQUILLMERE_SUPPORT_DIR=/usr/libexec -DQUILLMERE_SHIP_INSTALLED_TOOL=ON), never under
# /usr/local, and has its maintainer scripts make it set-user-ID; dev/test shows the whole
# configure line.

install(FILES resources/org.quillmere.Quillmere.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# What the administrator's password dialog says, for the installer at its installed place.
set(QUILLMERE_INSTALLER ${CMAKE_INSTALL_FULL_LIBEXECDIR}/quillmere/Rootmantle)
configure_file(packaging/org.quillmere.Quillmere.policy.in
               ${PROJECT_BINARY_DIR}/packaging/org.quillmere.Quillmere.policy @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/org.quillmere.Quillmere.policy
        DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)

# A package ships the capture tool at its installed place too, so dpkg knows the file (and
# removes it); its maintainer script makes it set-user-ID for those the administrator chose.
option(QUILLMERE_SHIP_INSTALLED_TOOL
       "Install the capture tool into QUILLMERE_SUPPORT_DIR/Quillmere too (for a package)" OFF)
if(QUILLMERE_SHIP_INSTALLED_TOOL)
  # Relative to the prefix, so an install into another prefix never writes into the system.
  file(RELATIVE_PATH shipped_tool_dir "${CMAKE_INSTALL_PREFIX}" "${QUILLMERE_SUPPORT_DIR}/Quillmere")
  if(shipped_tool_dir MATCHES "^\\.\\.")
    message(FATAL_ERROR "QUILLMERE_SHIP_INSTALLED_TOOL needs QUILLMERE_SUPPORT_DIR inside CMAKE_INSTALL_PREFIX")
  endif()
  install(TARGETS Netsiphon RUNTIME DESTINATION ${shipped_tool_dir})
endif()
install(FILES resources/org.quillmere.Quillmere.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES resources/icons/org.quillmere.Quillmere.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 128 256)
  install(FILES resources/icons/hicolor/${size}x${size}/apps/org.quillmere.Quillmere.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Manual pages and the changelog compressed as Debian wants them, reproducibly (no name or
# time in the gzip header).
set(compressed_docs)
foreach(page quillmere.1 Netsiphon.8 Rootmantle.8 changelog)
  if(page STREQUAL "changelog")
    set(source ${PROJECT_SOURCE_DIR}/packaging/deb/changelog)
  else()
    set(source ${PROJECT_SOURCE_DIR}/man/${page})
  endif()
  set(output ${PROJECT_BINARY_DIR}/docs/${page}.gz)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/docs
    COMMAND gzip -9nc ${source} > ${output}
    DEPENDS ${source} VERBATIM)
  list(APPEND compressed_docs ${output})
endforeach()
add_custom_target(quillmere_docs ALL DEPENDS ${compressed_docs})
install(FILES ${PROJECT_BINARY_DIR}/docs/quillmere.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/docs/Netsiphon.8.gz ${PROJECT_BINARY_DIR}/docs/Rootmantle.8.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
install(FILES ${PROJECT_BINARY_DIR}/docs/changelog.gz packaging/deb/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillmere)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmere)
set(CPACK_PACKAGE_VENDOR "The Quillmere developers")
set(CPACK_PACKAGE_CONTACT "The Quillmere developers <developers@quillmere.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live monitor of the network conversations of an interface")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Quillmere shows a live table of the streams on a network interface: each\n"
    "conversation by source, destination and protocol, with bytes sent up and\n"
    "down, current and average speeds and payload totals. Host names come from\n"
    "reverse lookups and service names from /etc/services; new and closed\n"
    "streams can be logged to text files. A window-less mode prints the table\n"
    "or JSON lines for log collectors.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quillmere.org")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "pkexec, passwd, debconf (>= 0.5) | debconf-2.0")
set(QUILLMERE_TOOLS_DIR ${CMAKE_INSTALL_FULL_LIBEXECDIR}/quillmere)
foreach(script postinst postrm)
  configure_file(packaging/deb/${script}.in ${PROJECT_BINARY_DIR}/packaging/${script} @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_BINARY_DIR}/packaging/postinst ${PROJECT_BINARY_DIR}/packaging/postrm
    ${PROJECT_SOURCE_DIR}/packaging/deb/config ${PROJECT_SOURCE_DIR}/packaging/deb/templates)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
