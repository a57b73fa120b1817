# The Debian package (`make package`), built by CPack from what
# `cmake --install` installs. Included from the top level, where CPack must be.
set(CPACK_PACKAGE_NAME kd7240fp)
set(CPACK_PACKAGE_VENDOR "Keldor Instruments")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "soft front panel of the Vantix 7240 waveform generator card")
# CPack puts the summary first and indents these lines; the empty line
# becomes the paragraph break.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A Qt desktop program that drives one Vantix 7240, a two-channel 1 MHz
fast-DAC and arbitrary waveform generator card on a VXI or LXI carrier,
reached through VISA: sine, square, saw or triangle per channel, triggered
or limited bursts, constant DAC voltages and calibration.

This package runs on a built-in simulated instrument system that stands in
for the VISA library, the carrier library and the card driver.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Keldor Instruments SFP team <sfp@keldor.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.keldor.example/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends follows from the shared libraries the program really uses; Qt's
# platform plugins are loaded at run time, so the one package is named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# VXI-11 clients find the panel through rpcbind; Avahi announces it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "rpcbind, avahi-daemon")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
