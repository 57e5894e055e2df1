# SPDX-License-Identifier: MIT
# Installing the way Linux software installs, and two Debian packages built with CPack, one
# per install component:
#  - common, the package quillmere-common: the window-less program, the two helpers, the
#    polkit policy, the service quillmere@, the translations and manual pages, and the maintainer scripts that make the
#    shipped capture tool set-user-ID; it links Qt6::Core only, so a server installs no display
#    libraries;
#  - windows, the package quillmere: the window program with its help pages and pictures, the
#    desktop entry, icons and metainfo; it depends on quillmere-common of the same version.
#
# A package uses prefix /usr, keeps the helpers in /usr/lib/quillmere
# (-DCMAKE_INSTALL_LIBEXECDIR=lib), ships the capture helper in /usr/libexec/Quillmere
# (-DQUILLMERE_SUPPORT_DIR=/usr/libexec -DQUILLMERE_SHIP_INSTALLED_TOOL=ON), never under
# /usr/local, and has its maintainer scripts make it set-user-ID; the preset "package" in
# CMakePresets.json has the whole configuration.

# What the administrator's password dialog says, for the installer at its installed place.
set(QUILLMERE_INSTALLER ${CMAKE_INSTALL_FULL_LIBEXECDIR}/quillmere/Rootmantle)
configure_file(packaging/org.quillmere.Quillmere.policy.in
               ${PROJECT_BINARY_DIR}/packaging/org.quillmere.Quillmere.policy @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/org.quillmere.Quillmere.policy
        DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions COMPONENT common)

# The service that captures one interface with history (quillmere@eth0), beside the system's
# own units: /lib/systemd/system for prefix /usr, as Debian keeps them.
configure_file(packaging/quillmere@.service.in ${PROJECT_BINARY_DIR}/packaging/quillmere@.service @ONLY)
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(QUILLMERE_UNIT_DIR /lib/systemd/system)
else()
  set(QUILLMERE_UNIT_DIR lib/systemd/system)
endif()
install(FILES ${PROJECT_BINARY_DIR}/packaging/quillmere@.service DESTINATION ${QUILLMERE_UNIT_DIR} COMPONENT common)

# A package ships the capture tool at its installed place too, so dpkg knows the file (and
# removes it); its maintainer script makes it set-user-ID for those the administrator chose.
if(QUILLMERE_SHIP_INSTALLED_TOOL)
  # Relative to the prefix, so an install into another prefix never writes into the system.
  file(RELATIVE_PATH shipped_tool_dir "${CMAKE_INSTALL_PREFIX}" "${QUILLMERE_SUPPORT_DIR}/Quillmere")
  if(shipped_tool_dir MATCHES "^\\.\\.")
    message(FATAL_ERROR "QUILLMERE_SHIP_INSTALLED_TOOL needs QUILLMERE_SUPPORT_DIR inside CMAKE_INSTALL_PREFIX")
  endif()
  install(TARGETS Netsiphon RUNTIME DESTINATION ${shipped_tool_dir} COMPONENT common)
endif()

if(QUILLMERE_BUILD_UI)
  install(FILES resources/org.quillmere.Quillmere.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
          COMPONENT windows)
  install(FILES resources/org.quillmere.Quillmere.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
          COMPONENT windows)
  install(FILES resources/icons/org.quillmere.Quillmere.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT windows)
  foreach(size 48 128 256)
    install(FILES resources/icons/hicolor/${size}x${size}/apps/org.quillmere.Quillmere.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps COMPONENT windows)
  endforeach()
  install(FILES packaging/deb/quillmere.lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
          RENAME quillmere COMPONENT windows)
endif()

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
install(FILES ${PROJECT_BINARY_DIR}/docs/quillmere.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT common)
install(FILES ${PROJECT_BINARY_DIR}/docs/Netsiphon.8.gz ${PROJECT_BINARY_DIR}/docs/Rootmantle.8.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man8 COMPONENT common)
# Every package carries its own copyright and changelog.
install(FILES ${PROJECT_BINARY_DIR}/docs/changelog.gz packaging/deb/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillmere-common COMPONENT common)
if(QUILLMERE_BUILD_UI)
  install(FILES ${PROJECT_BINARY_DIR}/docs/changelog.gz packaging/deb/copyright
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillmere COMPONENT windows)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL common)
if(QUILLMERE_BUILD_UI)
  list(APPEND CPACK_COMPONENTS_ALL windows)
endif()
set(CPACK_PACKAGE_NAME quillmere)
set(CPACK_PACKAGE_VENDOR "The Quillmere developers")
set(CPACK_PACKAGE_CONTACT "The Quillmere developers <developers@quillmere.org>")
# Each package's synopsis is the first line of its own description; an empty summary keeps
# CPack from putting one synopsis above both.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
string(CONCAT quillmere_description
    "Quillmere shows a live table of the streams on a network interface: each\n"
    "conversation by source, destination and protocol, with bytes sent up and\n"
    "down, current and average speeds and payload totals. Host names come from\n"
    "reverse lookups and service names from /etc/services; new and closed\n"
    "streams can be logged to text files.\n")
string(CONCAT CPACK_DEBIAN_COMMON_DESCRIPTION
    "live monitor of the network conversations of an interface (no windows)\n"
    "${quillmere_description}"
    "\n"
    "This package has the window-less program, which prints the table or JSON\n"
    "lines for log collectors, and the capture and installer helpers. It needs\n"
    "no display; the package quillmere adds the windows.")
string(CONCAT CPACK_DEBIAN_WINDOWS_DESCRIPTION
    "live monitor of the network conversations of an interface (windows)\n"
    "${quillmere_description}"
    "\n"
    "This package has the windows: the interface chooser, the stream windows\n"
    "with their search, summary and preferences, and the help.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quillmere.org")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMMON_PACKAGE_NAME quillmere-common)
set(CPACK_DEBIAN_COMMON_PACKAGE_DEPENDS "pkexec, passwd, acl, debconf (>= 0.5) | debconf-2.0")
set(CPACK_DEBIAN_WINDOWS_PACKAGE_NAME quillmere)
set(CPACK_COMPONENT_WINDOWS_DEPENDS common)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(QUILLMERE_TOOLS_DIR ${CMAKE_INSTALL_FULL_LIBEXECDIR}/quillmere)
foreach(script preinst postinst postrm)
  configure_file(packaging/deb/${script}.in ${PROJECT_BINARY_DIR}/packaging/${script} @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
endforeach()
set(CPACK_DEBIAN_COMMON_PACKAGE_CONTROL_EXTRA
    ${PROJECT_BINARY_DIR}/packaging/preinst ${PROJECT_BINARY_DIR}/packaging/postinst
    ${PROJECT_BINARY_DIR}/packaging/postrm
    ${PROJECT_SOURCE_DIR}/packaging/deb/config ${PROJECT_SOURCE_DIR}/packaging/deb/templates)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
