# `cpack` (scripts/package.sh) builds a Debian package of what `cmake --install` puts in the
# prefix. The libraries it needs come from dpkg-shlibdeps; Qt loads its window system plugin
# at run time, which no library names, and the databases are reached through ODBC drivers
# the program finds by name, so those are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME reportgen)
set(CPACK_PACKAGE_VENDOR "reportgen maintainers")
set(CPACK_PACKAGE_CONTACT "reportgen maintainers <maintainers@users.noreply.c-seed-f36574e4.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "libsqliteodbc, odbc-postgresql, odbc-mariadb, tdsodbc, odbc-mdbtools, fonts-wqy-microhei | fonts-noto-cjk, fonts-hanazono, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "report generator for relational databases
Point it at a database, pick a table, an SQL text or a stored procedure,
and get a grid grouped by the columns dragged onto its group panel, with
sums, counts, minima and maxima in group footers and a summary footer.

It reads SQLite files itself and every other database through its ODBC
driver, exports spreadsheets, CSV, XML, web pages and PDF, prints, and
writes any saved report from the command line without a window.")
# The test programs, the benchmark and the demo report writer stay in the build folder.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/")
include(CPack)
