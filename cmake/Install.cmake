# What `cmake --install` puts where on Linux, through GNUInstallDirs. Components:
#   program      the tool, its man page, completions, documents and the desktop entry that
#                makes it the handler of private links (what the .deb holds)
#   development  the core for other C++ programs: headers, static library and the package
#                config by which find_package(Veltrun) gives Veltrun::linkdecode
#   development-debian  the copyright and changelog the veltrun-dev package needs in its own
#                documents folder, which no plain install does
#   zsh, zsh-debian  the zsh completion where zsh looks below the prefix; Debian's zsh looks
#                in vendor-completions instead, so the .deb takes the second, which no plain
#                install does
# The release archives take the component "release" (cmake/Packaging.cmake) instead.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VELTRUN_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/veltrun)
set(VELTRUN_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Veltrun)
set(VELTRUN_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/veltrun)
set(VELTRUN_COMPLETIONS ${PROJECT_SOURCE_DIR}/packaging/completions)

# Man pages and changelogs go out compressed, without a timestamp, as Debian wants them.
set(veltrun_gzipped)
function(veltrun_gzip source name)
  set(copy ${PROJECT_BINARY_DIR}/gz/${name})
  add_custom_command(OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
    COMMAND gzip -9nf ${copy}
    DEPENDS ${source} VERBATIM)
  set(veltrun_gzipped ${veltrun_gzipped} ${copy}.gz PARENT_SCOPE)
endfunction()

configure_file(${PROJECT_SOURCE_DIR}/packaging/veltrun.1.in ${PROJECT_BINARY_DIR}/veltrun.1 @ONLY)
veltrun_gzip(${PROJECT_BINARY_DIR}/veltrun.1 veltrun.1)
veltrun_gzip(${PROJECT_SOURCE_DIR}/packaging/debian/changelog changelog)
add_custom_target(veltrun_gzipped ALL DEPENDS ${veltrun_gzipped})

# The machine-readable copyright file holds the licence itself, taken from LICENSE: its
# copyright line, then the notice, each line indented and blank ones written as " .".
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE veltrun_license_lines)
set(VELTRUN_COPYRIGHT_HOLDERS)
set(VELTRUN_LICENSE_TEXT)
foreach(line IN LISTS veltrun_license_lines)
  if(line MATCHES "^Copyright \\(c\\) (.+)$")
    set(VELTRUN_COPYRIGHT_HOLDERS ${CMAKE_MATCH_1})
  elseif(VELTRUN_COPYRIGHT_HOLDERS)
    if(line STREQUAL "")
      string(APPEND VELTRUN_LICENSE_TEXT "\n .")
    else()
      string(APPEND VELTRUN_LICENSE_TEXT "\n ${line}")
    endif()
  endif()
endforeach()
string(REGEX REPLACE "^\n \\.\n" "\n" VELTRUN_LICENSE_TEXT "${VELTRUN_LICENSE_TEXT}")
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/copyright.in
  ${PROJECT_BINARY_DIR}/copyright @ONLY)

install(TARGETS veltrun_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
install(FILES ${PROJECT_BINARY_DIR}/gz/veltrun.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
  COMPONENT program)
install(FILES ${PROJECT_BINARY_DIR}/copyright ${PROJECT_BINARY_DIR}/gz/changelog.gz
  DESTINATION ${VELTRUN_DOC_DIR} COMPONENT program)
# Hidden from menus: it only answers clicks on thunder://, flashget:// and qqdl:// links.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/veltrun.desktop
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications COMPONENT program)
install(FILES ${VELTRUN_COMPLETIONS}/veltrun.bash RENAME veltrun
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions COMPONENT program)
install(FILES ${VELTRUN_COMPLETIONS}/veltrun.fish
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/fish/vendor_completions.d COMPONENT program)
install(FILES ${VELTRUN_COMPLETIONS}/_veltrun
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/zsh/site-functions COMPONENT zsh)
install(FILES ${VELTRUN_COMPLETIONS}/_veltrun
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/zsh/vendor-completions COMPONENT zsh-debian
  EXCLUDE_FROM_ALL)

# Every header of the core, whichever units it has when installed; the vector kernels are its
# own business and no public header includes them.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/linkdecode/ DESTINATION ${VELTRUN_INCLUDE_DIR}/linkdecode
  COMPONENT development FILES_MATCHING PATTERN "*.h" PATTERN "simd" EXCLUDE)
install(TARGETS linkdecode ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
set(VELTRUN_LIBRARY
  ${CMAKE_INSTALL_LIBDIR}/${CMAKE_STATIC_LIBRARY_PREFIX}linkdecode${CMAKE_STATIC_LIBRARY_SUFFIX})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VeltrunConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VeltrunConfig.cmake INSTALL_DESTINATION ${VELTRUN_PACKAGE_DIR}
  PATH_VARS VELTRUN_INCLUDE_DIR VELTRUN_LIBRARY)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VeltrunConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VeltrunConfig.cmake
  ${PROJECT_BINARY_DIR}/VeltrunConfigVersion.cmake
  DESTINATION ${VELTRUN_PACKAGE_DIR} COMPONENT development)
install(FILES ${PROJECT_BINARY_DIR}/copyright ${PROJECT_BINARY_DIR}/gz/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/veltrun-dev COMPONENT development-debian
  EXCLUDE_FROM_ALL)
