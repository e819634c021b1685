# The Debian package: scripts/make-deb.sh configures a build for /usr with
# TRK_PACKAGE=ON and runs CPack. The library goes to a private folder
# (it has no SONAME: programs load it by file name, nothing links it), the
# documentation, man pages, completion and AppStream data to their places.
set(TRK_PACKAGE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/trk7700)

# Debian wants man pages and the changelog compressed, without time stamps.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(compressed ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${compressed})
set(compressed_files "")
foreach(page trk7700.1 trk7700-sim.1 Wayfolk-Tool.1 changelog)
  add_custom_command(OUTPUT ${compressed}/${page}.gz
    COMMAND ${GZIP_PROGRAM} -9nc ${CMAKE_CURRENT_LIST_DIR}/${page} > ${compressed}/${page}.gz
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/${page})
  list(APPEND compressed_files ${compressed}/${page}.gz)
endforeach()
add_custom_target(trk7700_package_files ALL DEPENDS ${compressed_files})

install(FILES ${compressed}/trk7700.1.gz ${compressed}/trk7700-sim.1.gz ${compressed}/Wayfolk-Tool.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${compressed}/changelog.gz ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${TRK_PACKAGE_DOC_DIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/trk7700.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME trk7700)
# The AppStream data, its releases taken from the changelog.
include(${CMAKE_CURRENT_LIST_DIR}/metainfo_releases.cmake)
trk_metainfo_releases(${CMAKE_CURRENT_LIST_DIR}/changelog TRK_METAINFO_RELEASES)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog)
configure_file(${CMAKE_CURRENT_LIST_DIR}/org.wayfolk.WayfolkTool.metainfo.xml.in
  ${compressed}/org.wayfolk.WayfolkTool.metainfo.xml @ONLY)
install(FILES ${compressed}/org.wayfolk.WayfolkTool.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trk7700)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "TRK-7700 desktop team <trk7700@wayfolk.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "read, erase and configure the TRK-7700 GPS track logger")
# CPack puts the summary first and indents every line of this text itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "The TRK-7700 records position fixes into its memory. This package reads
them over its serial link (USB or Bluetooth) into text and NMEA files, has
GPSBabel make KML, PLT and GPX files, erases the logger, edits its
recording settings with the voice prompts it plays, shows its serial
number and firmware, and upgrades its firmware.

It holds the link library, the desktop tool Wayfolk-Tool, the command
line trk7700 and the logger simulator trk7700-sim.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# GPSBabel makes the KML, PLT and GPX files; the programs start it by name.
# The map page inlines Leaflet, read from /usr/share/javascript/leaflet.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gpsbabel, libjs-leaflet")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
