# The Debian package, made by CPack from the install rules:
#   cmake --build --preset release --target package   ->  build/release/tolvan32_1.0_amd64.deb
# Its dependencies are read from the program itself (dpkg-shlibdeps), never listed by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvan32)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tolvane developers")
set(CPACK_PACKAGE_CONTACT "Tolvane maintainers <maintainers@users.noreply.c-seed-2b64455a.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Without it the package would hold /usr, /usr/bin, ... as its own entries for dpkg.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keep a backup copy of a directory tree up to date")
# CPack puts the summary first and indents these lines itself; the empty line parts paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tolvane (tolvan32) brings a backup tree up to date with its master tree: it
creates missing folders, copies missing files and replaces older copies. In
Mirroring mode it also removes what the master no longer has, optionally into
the desktop trash. Every run can write a plain-text report.

Jobs run from the main window, once from the command line, on the program's
own schedule, or on a systemd user timer (tolvan32@JOB.timer).")
include(CPack)
