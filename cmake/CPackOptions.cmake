# Read by cpack once for each generator: the archives take their flat "release" layout, the
# .debs the installed one below /usr (see cmake/Install.cmake): veltrun the tool, veltrun-dev
# the core for C++ programs, each package one group of components.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL program zsh-debian development development-debian)
  set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
  set(CPACK_COMPONENT_PROGRAM_GROUP tool)
  set(CPACK_COMPONENT_ZSH-DEBIAN_GROUP tool)
  set(CPACK_COMPONENT_DEVELOPMENT_GROUP dev)
  set(CPACK_COMPONENT_DEVELOPMENT-DEBIAN_GROUP dev)
  set(CPACK_DEBIAN_TOOL_PACKAGE_NAME ${CPACK_DEBIAN_PACKAGE_NAME})
  set(CPACK_DEBIAN_TOOL_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
  # --open and --register-handler work through xdg-utils, and say what they refused in a
  # notification where notify-send exists.
  set(CPACK_DEBIAN_TOOL_PACKAGE_RECOMMENDS "xdg-utils")
  set(CPACK_DEBIAN_TOOL_PACKAGE_SUGGESTS "${CPACK_DEBIAN_PACKAGE_SUGGESTS}, libnotify-bin")
  set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${CPACK_DEBIAN_PACKAGE_NAME}-dev)
  set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_DEV_PACKAGE_SUGGESTS "cmake")
  set(CPACK_DEBIAN_DEV_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION_SUMMARY} (C++ library)
The core of veltrun as a static C++17 library with its headers, for
programs that unwrap the private download links of Thunder, FlashGet
and Whirlwind, find them in texts, repair them or make them.
find_package(Veltrun) in CMake gives the target Veltrun::linkdecode.")
  set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/StripStaticLibraries.cmake")
  set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY OFF)
endif()
