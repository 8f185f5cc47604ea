# Installation: the game and its data folders in <prefix>/lib/vantor, a launcher on the
# PATH, a desktop entry and an icon; CPack makes a Debian package of it.
include(GNUInstallDirs)
# Installing (and packaging) needs only the game and its data, not the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)
set(VANTOR_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/vantor)
install(TARGETS vantor RUNTIME DESTINATION ${VANTOR_INSTALL_DIR})
foreach(folder Textures tables Balls Rackets Sounds)
  install(DIRECTORY ${VANTOR_DATA_DIR}/${folder} DESTINATION ${VANTOR_INSTALL_DIR})
endforeach()
install(FILES ${VANTOR_DATA_DIR}/lamp.x DESTINATION ${VANTOR_INSTALL_DIR})
install(FILES ${VANTOR_DATA_DIR}/lampshade.tga DESTINATION ${VANTOR_INSTALL_DIR} OPTIONAL)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/vantor.sh DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME vantor)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vantor.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VANTOR_DATA_DIR}/vantor.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps
  OPTIONAL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vantor developers <dev@vantor.local>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Full-screen 3D air hockey for one or two players")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libsdl2-2.0-0, libsdl2-image-2.0-0, libsdl2-ttf-2.0-0, libsdl2-mixer-2.0-0, libassimp5, libenet7, libfontconfig1, libinih1, libx11-6, libgl1, libgl1-mesa-dri, fonts-comic-neue, fonts-blankenburg, fonts-dejavu-core")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
