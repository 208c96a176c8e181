# The release archive of this build, made by CPack (scripts/release.sh runs
# it in each build and gathers the archives in dist/):
#   i686 / x86_64 Windows: vormlan-<version>-win32.zip / vormlan-<version>-win64.zip
#                          holding vormlan.exe, vormlan-cli.exe, README.md, LICENSE
#   Linux:                 vormlan-cli-<version>-linux-<processor>.tar.gz
#                          holding vormlan-cli, README.md, LICENSE
#                          and the Debian package vormlan-cli_<version>_<arch>.deb:
#                          /usr/bin/vormlan-cli, its manual page, its bash and zsh
#                          completions, README.md and the copyright, depending on
#                          the libraries dpkg-shlibdeps finds (libhivex0, the C++
#                          runtime)
# Each archive holds one folder named like the archive. The programs are the
# ones the build's suites ran, stripped. On Linux the two packages take
# different components of the install rules (archive, deb), chosen by
# cmake/PackagingGenerator.cmake.

if(WIN32)
  install(TARGETS vormlan vormlan-cli RUNTIME DESTINATION .)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME "vormlan-${PROJECT_VERSION}-win64")
  else()
    set(CPACK_PACKAGE_FILE_NAME "vormlan-${PROJECT_VERSION}-win32")
  endif()
  set(CPACK_GENERATOR ZIP)
  install(FILES README.md LICENSE DESTINATION .)
else()
  install(TARGETS vormlan-cli RUNTIME DESTINATION . COMPONENT archive)
  install(FILES README.md LICENSE DESTINATION . COMPONENT archive)
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" platform)
  set(CPACK_PACKAGE_FILE_NAME "vormlan-cli-${PROJECT_VERSION}-${platform}")

  # Debian's places, below CPACK_PACKAGING_INSTALL_PREFIX (/usr).
  set(docs "${VORMLAN_CLI_DOCS_DIR}")
  install(TARGETS vormlan-cli RUNTIME DESTINATION bin COMPONENT deb)
  install(FILES "${docs}/vormlan-cli.1.gz" DESTINATION share/man/man1 COMPONENT deb)
  install(FILES "${docs}/vormlan-cli.bash" DESTINATION share/bash-completion/completions
          RENAME vormlan-cli COMPONENT deb)
  install(FILES "${docs}/_vormlan-cli" DESTINATION share/zsh/vendor-completions COMPONENT deb)
  install(FILES README.md DESTINATION share/doc/vormlan-cli COMPONENT deb)
  install(FILES LICENSE DESTINATION share/doc/vormlan-cli RENAME copyright COMPONENT deb)

  set(CPACK_GENERATOR TGZ DEB)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_CURRENT_LIST_DIR}/PackagingGenerator.cmake")
  set(CPACK_DEBIAN_PACKAGE_NAME vormlan-cli)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Ulvmarsk <vormlan@ulvmarsk.invalid>")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
      "turns an installed printer driver into an INF-based driver package")
  # The summary above is its first line.
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "vormlan-cli reads the printers and drivers of a Windows registry export or of\n"
    "a binary SYSTEM hive (an offline disk) and writes a self-contained INF driver\n"
    "package for a printer's driver.")
endif()

# Installing takes what is built; it does not build the test suites first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME vormlan)
set(CPACK_PACKAGE_VENDOR Ulvmarsk)
set(CPACK_STRIP_FILES ON)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
