# The Debian package of the installed tree (scripts/package): programs in
# /usr/bin, the program folder in /usr/lib/tesserix, the desktop entry, icons
# and manual pages under /usr/share. Library dependencies are computed from
# the binaries; what the program loads or uses by name at run time (fonts,
# Qt's translations and plugins) is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tesserix)
set(CPACK_PACKAGE_VERSION 3.1.0)
set(CPACK_PACKAGE_VENDOR Korvex)
set(CPACK_PACKAGE_CONTACT "Tesserix developers <tesserix@korvex.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "photo-mosaic maker")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tesserix makes a picture into a montage of your own photos and videos:\npick a target picture, choose tile collections built from your albums and\nvideos, and create a montage to save, view full screen or print as a poster.\nA command-line tool, tesserix-cli, does the same without a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# Our own shared libraries live in the program folder beside the rest.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-noto-cjk, fonts-dejavu-core, qt6-translations-l10n, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups-client, xdg-utils")
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_SOURCE_DIR}/out)

# The copyright file, with the sample photos' packages and licences.
set(TX_COPYRIGHT ${CMAKE_BINARY_DIR}/copyright)
add_custom_command(
  OUTPUT ${TX_COPYRIGHT}
  COMMAND ${CMAKE_COMMAND} -DTSV=${PROJECT_SOURCE_DIR}/data/sample/sample-photos.tsv
          -DOUT=${TX_COPYRIGHT} -P ${PROJECT_SOURCE_DIR}/cmake/TesserixCopyright.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/data/sample/sample-photos.tsv
          ${PROJECT_SOURCE_DIR}/cmake/TesserixCopyright.cmake
  COMMENT "Copyright file")
add_custom_target(tesserix_copyright ALL DEPENDS ${TX_COPYRIGHT})
install(FILES ${TX_COPYRIGHT} DESTINATION share/doc/tesserix)

# The changelog, compressed as Debian keeps it.
set(TX_CHANGELOG ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(
  OUTPUT ${TX_CHANGELOG}
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/data/debian/changelog > ${TX_CHANGELOG}
  DEPENDS ${PROJECT_SOURCE_DIR}/data/debian/changelog
  COMMENT "Changelog")
add_custom_target(tesserix_changelog ALL DEPENDS ${TX_CHANGELOG})
install(FILES ${TX_CHANGELOG} DESTINATION share/doc/tesserix)

include(CPack)
