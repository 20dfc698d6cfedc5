# The Debian package, made by CPack from the build tree that the tests ran on (`scripts/package`).
# Runtime dependencies come from dpkg-shlibdeps, so a library the programs start to link (such as
# libusb) is in Depends without a change here.
set(VELGRIN_PACKAGE_MAINTAINER "Velgrin team <maintainers@users.noreply.c-seed-668607b1.example>"
    CACHE STRING "Maintainer field of the Debian package")

# Debian wants a copyright file and the changelog (compressed) under /usr/share/doc/PACKAGE.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/velgrin)
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(
    OUTPUT ${changelog}
    COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" ${VELGRIN_GZIP}
            ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog ${changelog}
    DEPENDS packaging/changelog
    VERBATIM)
add_custom_target(velgrin-changelog ALL DEPENDS ${changelog})
install(FILES packaging/copyright ${changelog} DESTINATION ${doc_dir})
install(FILES docs/cli.md docs/ds2480b.md docs/ds9097.md docs/usb.md docs/i2c.md docs/bench-files.md DESTINATION ${doc_dir})
install(FILES docs/examples/workshop-bench.json DESTINATION ${doc_dir}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velgrin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VELGRIN_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windows fall back to another font, with a note, when Tahoma's metric twin is missing; the
# standard dialogs speak English, with a note, without Qt's Russian translations. The emulator's
# USB and I2C kinds need umockdev's preload library and say so when it is missing.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine, qt6-translations-l10n, umockdev")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "set up 1-Wire sensors on a bench")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "\
Velgrin finds every 1-Wire device on an adapter's bus once a second and lists
it on the tab of its kind: DS18S20/DS18B20 thermometers (measured, alarm
thresholds written and checked), HLT multisensors built on a DS2438 (live
readings, configuration written with a CRC) and data loggers (registration
numbers saved to text files). The window is in Russian.
.
Adapters: DS2480B serial (DS9097U type), passive serial (DS9097E type, or a
USB-UART converter with a diode), DS2490 USB and DS2482 I2C masters.
.
The package holds the window (velgrin), the same core from the command line
(velgrin-cli, with bash completion) and an emulator of every adapter kind
(velgrin-emu): the serial ones on a pseudo-terminal, the DS2490 and DS2482 on a
USB or I2C bus mocked with umockdev for one command.")
include(CPack)

# Everything the package installs, so that `scripts/package` builds just that (not the tests).
add_custom_target(velgrin-package-contents)
add_dependencies(velgrin-package-contents velgrin velgrin-cli velgrin-emu velgrin-manual
                 velgrin-cli-manual velgrin-emu-manual velgrin-changelog)
