# The Debian package (make package): what `cmake --install` puts under /usr,
# with the libraries the program links found by dpkg-shlibdeps and the parts Qt
# loads at run time named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumivox)
set(CPACK_PACKAGE_VENDOR Velmoria)
set(CPACK_PACKAGE_CONTACT "Velmoria <support@lumivox.example.jp>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://lumivox.example.jp/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "mail contact network for a school, club or association")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Lumivox keeps a register of members and groups, writes notices and mails each
notice, one personal ISO-2022-JP mail per member, to the groups it is for
through the user's SMTP server; it prints member lists and check lists.
Its windows and messages are in Japanese.")
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Installed with DESTDIR and the prefix /usr, so that the desktop entry names
# /usr/bin/lumivox whatever prefix the build tree installs to.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by Qt at run time, so unseen by dpkg-shlibdeps: the SQLite driver, the
# window-system plugins, the SVG icons, Qt's own Japanese texts; then Japanese
# fonts and the certificates the SMTP connection is checked against.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-sqlite, qt6-qpa-plugins, libqt6svg6, qt6-translations-l10n, fonts-noto-cjk | fonts-ipafont, ca-certificates")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
