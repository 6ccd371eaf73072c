# Linux: the engine installed as an xscreensaver hack with its settings
# description, manual page, desktop entry and documentation, and a Debian
# package of them (cmake --build --preset linux --target package).
if(SORVANE_WINDOWS OR NOT TARGET sorvane_engine)
  return()
endif()

sorvane_fortify(sorvane_engine)

set(_pkg ${CMAKE_BINARY_DIR}/package)
set(_x11 ${CMAKE_SOURCE_DIR}/engine/x11)
set(_deb ${CMAKE_SOURCE_DIR}/cmake/debian)
set(SORVANE_MAINTAINER "Sorvane developers <dev@sorvane.org>")

# The files that name the version are made from templates.
configure_file(${_x11}/sorvane.xml.in ${_pkg}/sorvane.xml @ONLY)
configure_file(${_x11}/sorvane.6x.in ${_pkg}/sorvane.6x @ONLY)
configure_file(${_deb}/changelog.in ${_pkg}/changelog @ONLY)

# Debian ships the binary stripped (as dh_strip does) and its manual page and
# changelog compressed without a time stamp, so that builds repeat.
add_custom_command(OUTPUT ${_pkg}/sorvane
  COMMAND objcopy --strip-unneeded --remove-section=.comment --remove-section=.note
          $<TARGET_FILE:sorvane_engine> ${_pkg}/sorvane
  DEPENDS sorvane_engine VERBATIM)
foreach(_doc sorvane.6x changelog)
  add_custom_command(OUTPUT ${_pkg}/${_doc}.gz
    COMMAND gzip -9nc ${_pkg}/${_doc} > ${_pkg}/${_doc}.gz
    DEPENDS ${_pkg}/${_doc})
endforeach()
add_custom_target(sorvane_package_files ALL
  DEPENDS ${_pkg}/sorvane ${_pkg}/sorvane.6x.gz ${_pkg}/changelog.gz)

# xscreensaver looks for hacks and their settings descriptions here.
install(PROGRAMS ${_pkg}/sorvane DESTINATION libexec/xscreensaver)
install(FILES ${_pkg}/sorvane.xml DESTINATION share/xscreensaver/config)
install(FILES ${_pkg}/sorvane.6x.gz DESTINATION share/man/man6)
install(FILES ${_x11}/sorvane.desktop DESTINATION share/applications/screensavers)
install(FILES ${_deb}/copyright ${_pkg}/changelog.gz DESTINATION share/doc/sorvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${SORVANE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "soft white puffs of light, a screen saver for xscreensaver")
set(CPACK_PACKAGE_DESCRIPTION "Soft white puffs of light rise through a slowly oscillating flow field.
Installs the hack and its settings description for xscreensaver; run on its
own it is a full-screen saver. A music file or an audio CD can play along
through GStreamer.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # sorvane_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries it needs, found by dpkg-shlibdeps from the binary itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# playbin and the CD source come with plugins-base, the file decoders with
# plugins-good, the sound output with the ALSA or PulseAudio plugin.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-alsa | gstreamer1.0-pulseaudio")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS xscreensaver)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)
