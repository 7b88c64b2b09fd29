# Read by cpack once for each generator: the archives take their flat "release" layout, the
# .deb the installed one below /usr (see cmake/Install.cmake).
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL program zsh-debian)
  set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY OFF)
endif()
