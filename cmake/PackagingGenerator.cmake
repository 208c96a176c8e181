# Read by cpack for each generator (CPACK_PROJECT_CONFIG_FILE): the Linux
# tarball takes the archive component, laid out in one folder; the Debian
# package takes the deb component, below /usr.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL deb)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  set(CPACK_COMPONENTS_ALL archive)
  # Component archives take their top folder from this variable.
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
