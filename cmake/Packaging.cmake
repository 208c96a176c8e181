# The release archive of this build, made by CPack (scripts/release.sh runs
# it in each build and gathers the archives in dist/):
#   i686 / x86_64 Windows: vormlan-<version>-win32.zip / vormlan-<version>-win64.zip
#                          holding vormlan.exe, vormlan-cli.exe, README.md, LICENSE
#   Linux:                 vormlan-cli-<version>-linux-<processor>.tar.gz
#                          holding vormlan-cli, README.md, LICENSE
# Each archive holds one folder named like the archive. The programs are the
# ones the build's suites ran, stripped.

if(WIN32)
  install(TARGETS vormlan vormlan-cli RUNTIME DESTINATION .)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME "vormlan-${PROJECT_VERSION}-win64")
  else()
    set(CPACK_PACKAGE_FILE_NAME "vormlan-${PROJECT_VERSION}-win32")
  endif()
  set(CPACK_GENERATOR ZIP)
else()
  install(TARGETS vormlan-cli RUNTIME DESTINATION .)
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" platform)
  set(CPACK_PACKAGE_FILE_NAME "vormlan-cli-${PROJECT_VERSION}-${platform}")
  set(CPACK_GENERATOR TGZ)
endif()
install(FILES README.md LICENSE DESTINATION .)

# Installing takes what is built; it does not build the test suites first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME vormlan)
set(CPACK_PACKAGE_VENDOR Ulvmarsk)
set(CPACK_STRIP_FILES ON)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
