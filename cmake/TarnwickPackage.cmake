# The Debian package (make deb, cpack -G DEB): what cmake --install puts under /usr, its
# dependencies read from the programs' own links by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VENDOR Vendrel)
set(CPACK_PACKAGE_CONTACT "Vendrel")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "SMSC simulator and SMS-protocol analyser for SMPP 3.4 clients")
# Lines of the control file's long description (CPack indents them).
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Tarnwick plays the SMSC for an SMPP 3.4 client application (ESME) under test:"
  "it binds it on TCP port 5018, answers its messages, sends deliver_sm and"
  "delivery receipts, misbehaves on purpose by fault rules, and captures every"
  "PDU for its decoder page, a pcap file and an HTTP control API. A second"
  "server on port 8880 serves mobile-phone simulators. tarnwick-decode decodes"
  "SMPP, CMPP, SMGP, SGIP, CNGP and TEST PDUs from hex or pcap captures.")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by Qt at run time, so no link of ours names it: the image plugin that draws the SVG icons.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
include(CPack)
