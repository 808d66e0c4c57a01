# Installation into the usual places and the Debian package (cpack -G DEB in the build folder).
include(GNUInstallDirs)

install(TARGETS velmora velmora-cli velmora-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/velmora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/velmora.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/velmora-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME velmora.xml)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${CMAKE_CURRENT_LIST_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmora)

# The changelog's newest entry is the version being built.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^velmora \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog starts with \"${changelog_head}\", not with version ${PROJECT_VERSION}")
endif()

# The manual pages, made from each program's --help; the changelog, compressed as Debian wants it.
set(man ${CMAKE_BINARY_DIR}/man)
set(man_pages)
foreach(page "velmora|the window of the AVR programmer for the KV-4417 serial gateway"
             "velmora-cli|the AVR programmer for the KV-4417 serial gateway on the command line"
             "velmora-sim|a simulated KV-4417 gateway with a chip, on a pseudo-terminal")
  string(REPLACE "|" ";" page "${page}")
  list(GET page 0 program)
  list(GET page 1 summary)
  add_custom_command(OUTPUT ${man}/${program}.1.gz
      COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> -DNAME=${program} "-DSUMMARY=${summary}"
              -DVERSION=${PROJECT_VERSION} -DOUTPUT=${man}/${program}.1 -P ${CMAKE_CURRENT_LIST_DIR}/manpage.cmake
      COMMAND gzip -9nf ${man}/${program}.1
      DEPENDS ${program} ${CMAKE_CURRENT_LIST_DIR}/manpage.cmake
      COMMENT "Writing the manual page of ${program}"
      VERBATIM)
  list(APPEND man_pages ${man}/${program}.1.gz)
endforeach()
add_custom_command(OUTPUT ${man}/changelog.gz
    COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/changelog > ${man}/changelog.gz
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog
    VERBATIM)
add_custom_target(velmora_manpages ALL DEPENDS ${man_pages} ${man}/changelog.gz)
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${man}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmora)

set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "Velmora")
set(CPACK_PACKAGE_CONTACT "Velmora maintainers <maintainers@velmora.org>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Velmora maintainers <maintainers@velmora.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://velmora.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "programmer for AVR microcontrollers through a serial gateway")
# The extended description below the synopsis; CPack indents its lines, and a lone "."
# separates paragraphs as Debian shows them.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Velmora reads, writes, verifies and erases the flash and EEPROM of Atmel AVR
microcontrollers (and two compatible NIIET parts), identifies chips by their
signature, reads their calibration bytes and edits their lock and fuse bits,
through the KV-4417 UART to I2C/SPI/1W gateway on a serial port. Fifty-five
chips are programmed in high-voltage parallel or serial mode.
.
The package holds the window (velmora), the command line (velmora-cli), which
takes Intel HEX, Motorola S-record, avr-gcc ELF and binary files, and a
simulated gateway (velmora-sim) for working without the board.")
set(CPACK_RPM_PACKAGE_LICENSE "GPL-3.0-or-later")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# The libraries the programs link come from dpkg-shlibdeps; the Qt platform plugins are loaded
# at run time, so the window needs them named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The SVG plugins draw the window's icon.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
include(CPack)
