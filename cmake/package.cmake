# Linux: the engine installed as an xscreensaver hack with its description,
# and a Debian package of the two (cmake --build --preset linux --target package).
if(SORVANE_WINDOWS OR NOT TARGET sorvane_engine)
  return()
endif()

# xscreensaver looks for hacks and their settings descriptions here.
install(PROGRAMS $<TARGET_FILE:sorvane_engine> DESTINATION libexec/xscreensaver RENAME sorvane)
install(FILES ${CMAKE_SOURCE_DIR}/engine/x11/sorvane.xml DESTINATION share/xscreensaver/config)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Sorvane developers <sorvane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "soft white puffs of light, a screen saver for xscreensaver")
set(CPACK_PACKAGE_DESCRIPTION "Soft white puffs of light rise through a slowly oscillating flow field.
Installs the hack and its settings description for xscreensaver; run on its
own it is a full-screen saver.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # sorvane_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
# The libraries it needs, found by dpkg-shlibdeps from the binary itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS xscreensaver)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)
