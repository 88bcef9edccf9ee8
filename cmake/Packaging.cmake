# Installing and the Debian package (scripts/package.sh builds it).
#
# Everything the program looks for beside its executable goes into one
# private folder, /usr/lib/ampwright; /usr/bin holds links to the programs a
# user starts. The package registers the phasor control system-wide at
# install (packaging/postinst) and removes it at uninstall.
include(GNUInstallDirs)

# Not the multiarch library folder: nothing else links these files.
set(AMPWRIGHT_PRIVATE_DIR lib/ampwright)
set(AMPWRIGHT_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)

install(TARGETS Ampwright ampwright-cli metersim regcontrol
        RUNTIME DESTINATION ${AMPWRIGHT_PRIVATE_DIR})
install(TARGETS Gyroscribe LIBRARY DESTINATION ${AMPWRIGHT_PRIVATE_DIR})
file(GLOB AMPWRIGHT_LANGUAGE_FILES ${CMAKE_SOURCE_DIR}/lang/*.ini ${CMAKE_SOURCE_DIR}/lang/title*.txt)
install(FILES ${AMPWRIGHT_LANGUAGE_FILES} DESTINATION ${AMPWRIGHT_PRIVATE_DIR})

# /usr/bin/ampwright -> ../lib/ampwright/Ampwright and so on.
set(links_dir ${CMAKE_BINARY_DIR}/bin-links)
file(MAKE_DIRECTORY ${links_dir})
foreach(pair "ampwright:Ampwright" "ampwright-cli:ampwright-cli" "ampwright-metersim:metersim")
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 link)
  list(GET pair 1 target)
  file(CREATE_LINK ../${AMPWRIGHT_PRIVATE_DIR}/${target} ${links_dir}/${link} SYMBOLIC)
  install(FILES ${links_dir}/${link} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

install(FILES ${AMPWRIGHT_PACKAGING_DIR}/ampwright.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${AMPWRIGHT_PACKAGING_DIR}/ampwright.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The meter gateway's service (not enabled on install) and its example
# configuration, a conffile: the administrator's edits survive upgrades.
install(FILES ${AMPWRIGHT_PACKAGING_DIR}/ampwright-gateway.service DESTINATION /lib/systemd/system)
install(FILES ${AMPWRIGHT_PACKAGING_DIR}/gateway.conf DESTINATION /etc/ampwright)

# Manual pages, compressed as Debian wants them.
foreach(page ampwright ampwright-cli ampwright-metersim)
  set(gz ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${gz}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                     COMMAND gzip -9n -c ${AMPWRIGHT_PACKAGING_DIR}/${page}.1 > ${gz}
                     DEPENDS ${AMPWRIGHT_PACKAGING_DIR}/${page}.1)
  list(APPEND manual_pages ${gz})
endforeach()
add_custom_target(manual_pages ALL DEPENDS ${manual_pages})
install(FILES ${manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(AMPWRIGHT_DEB_VERSION ${PROJECT_VERSION}-1)
configure_file(${AMPWRIGHT_PACKAGING_DIR}/changelog ${CMAKE_BINARY_DIR}/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.Debian.gz
                   COMMAND gzip -9n -c ${CMAKE_BINARY_DIR}/changelog.Debian > ${CMAKE_BINARY_DIR}/changelog.Debian.gz
                   DEPENDS ${CMAKE_BINARY_DIR}/changelog.Debian)
add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
install(FILES ${AMPWRIGHT_PACKAGING_DIR}/copyright ${CMAKE_BINARY_DIR}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ampwright)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ampwright)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Ampwright developers <developers@ampwright.example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tool for three-phase electricity meters")
set(CPACK_PACKAGE_DESCRIPTION
    "Connects to a three-phase electricity meter over RS-485 (Modbus RTU) or\n"
    "Ethernet (Modbus TCP), shows its live measurements as numbers and as a\n"
    "phasor diagram, changes its settings and downloads its load-profile records\n"
    "into CSV files, in English, Traditional Chinese or Japanese. Includes a\n"
    "command-line tool for scripted reads and batch downloads, and a simulated\n"
    "meter to try the program without one.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the executables link become dependencies here (the gateway's
# prometheus-cpp core, libmicrohttpd and libcrypt, which checks the HTTP
# credentials, too).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The display plugins and the archive's SQLite driver are loaded at run
# time, so no library names them. The gateway publishes through libmosquitto;
# postinst makes its system user with adduser.
# libjs-chart.js: the gateway's page draws its load-profile charts with it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite, libmosquitto1, adduser, libjs-chart.js")
# A shared PostgreSQL archive needs the server driver; a lone PC does not.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${AMPWRIGHT_PACKAGING_DIR}/postinst ${AMPWRIGHT_PACKAGING_DIR}/prerm ${AMPWRIGHT_PACKAGING_DIR}/postrm
    ${AMPWRIGHT_PACKAGING_DIR}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES TRUE)
include(CPack)
