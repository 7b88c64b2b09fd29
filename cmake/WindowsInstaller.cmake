# The Windows installer, Veltrun-<version>-win64.msi, from the same files as the zip (the readme
# and licence that cmake/Packaging.cmake writes at configure time); `make package` copies it into
# out/ (target msi_release), and tests/msi installs it under Wine. Sets VELTRUN_MSI and
# VELTRUN_MSI_SOURCES (build-msi.py's file arguments), which the tests use to build older ones.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(VELTRUN_MSI ${PROJECT_BINARY_DIR}/Veltrun-${PROJECT_VERSION}-win64.msi)
set(VELTRUN_MSI_SOURCES
  --dialog $<TARGET_FILE:Veltrun> --cli $<TARGET_FILE:veltrun_cli>
  --readme ${PROJECT_BINARY_DIR}/README.txt --license ${PROJECT_BINARY_DIR}/LICENSE.txt
  --icon ${PROJECT_BINARY_DIR}/app/Veltrun.ico --strip ${CMAKE_STRIP})
add_custom_command(OUTPUT ${VELTRUN_MSI}
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/packaging/windows/build-msi.py
          --version ${PROJECT_VERSION} ${VELTRUN_MSI_SOURCES} --output ${VELTRUN_MSI}
  DEPENDS Veltrun veltrun_cli ${PROJECT_SOURCE_DIR}/packaging/windows/build-msi.py
          ${PROJECT_SOURCE_DIR}/packaging/windows/Veltrun.wxs ${PROJECT_BINARY_DIR}/README.txt
          ${PROJECT_BINARY_DIR}/LICENSE.txt ${PROJECT_BINARY_DIR}/app/Veltrun.ico
  COMMENT "Building the Windows installer"
  VERBATIM)
add_custom_target(msi ALL DEPENDS ${VELTRUN_MSI})
add_custom_target(msi_release
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_SOURCE_DIR}/out
  COMMAND ${CMAKE_COMMAND} -E copy ${VELTRUN_MSI} ${PROJECT_SOURCE_DIR}/out/
  DEPENDS msi VERBATIM)
