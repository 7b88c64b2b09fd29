# Release packages: `cpack` in build/windows gives Veltrun-<version>-win64.zip, in build/linux
# Veltrun-<version>-linux-x86_64.tar.gz and veltrun_<version>_<arch>.deb. The version is the
# project's.
#
# Windows folders ignore letter case, so Veltrun.exe and veltrun.exe cannot share one: the
# command-line tool goes into cli\ in the zip.

set(VELTRUN_EXAMPLE_LINK "thunder://QUFodHRwOi8vZXhhbXBsZS5jb20vc2V0dXAuZXhlWlo=")

if(WIN32)
  set(VELTRUN_PACKAGE_SYSTEM "win64")
  set(VELTRUN_CLI_DIR "cli")
  set(VELTRUN_LICENSE_NAME "LICENSE.txt")
  set(VELTRUN_NEWLINES CRLF)
  set(VELTRUN_README_ZH "使用方法
  1. 在网页、论坛或聊天窗口中复制一个链接。
  2. 运行 Veltrun.exe，点击“粘贴地址解码”，下方的框里就是真实的下载地址。
  3. 点击“复制内容”，把地址复制到剪贴板，再粘贴到任意下载工具中。
  便携版（.zip）无需安装：不写注册表，不保存任何设置，删除文件夹即卸载。
  安装版（.msi）另在开始菜单中添加 Veltrun，并在点击 thunder://、flashget://、
  qqdl:// 链接时打开 Veltrun（已被其他程序占用的协议除外）；可在“应用和功能”中卸载。

命令行工具 cli\\veltrun.exe
  一次转换多个链接，或找出一段文字、一个网页里的全部链接，每行输出一个地址：
    cli\\veltrun.exe ${VELTRUN_EXAMPLE_LINK}
    type 下载页.html | cli\\veltrun.exe
  全部选项见 cli\\veltrun.exe --help。")
  set(VELTRUN_README_EN "How to use it
  1. Copy a link from a web page, a forum or a chat.
  2. Run Veltrun.exe and click 粘贴地址解码 (paste and decode): the box
     below shows the real download address.
  3. Click 复制内容 (copy) to put the address on the clipboard.
  The zip needs no installation: no registry entries, no settings;
  delete the folder to remove it. The installer (.msi) also adds a
  Start menu entry and makes a click on a thunder://, flashget:// or
  qqdl:// link open Veltrun (unless another program owns the scheme);
  remove it in Apps & features.

Command-line tool cli\\veltrun.exe
  Unwraps many links at once, or every link in a text or a web page,
  one address per line:
    cli\\veltrun.exe ${VELTRUN_EXAMPLE_LINK}
    type page.html | cli\\veltrun.exe
  See cli\\veltrun.exe --help for every option.")
else()
  set(VELTRUN_PACKAGE_SYSTEM "linux-${CMAKE_SYSTEM_PROCESSOR}")
  set(VELTRUN_CLI_DIR ".")
  set(VELTRUN_LICENSE_NAME "LICENSE")
  set(VELTRUN_NEWLINES LF)
  set(VELTRUN_README_ZH "命令行工具 veltrun
  转换命令行上的链接，或找出标准输入中的全部链接，每行输出一个地址：
    ./veltrun ${VELTRUN_EXAMPLE_LINK}
    ./veltrun < 下载页.html
  全部选项见 ./veltrun --help。可把 veltrun 复制到 PATH 中的任意目录。")
  set(VELTRUN_README_EN "Command-line tool veltrun
  Unwraps the links given as arguments, or every link found on standard
  input, one address per line:
    ./veltrun ${VELTRUN_EXAMPLE_LINK}
    ./veltrun < page.html
  See ./veltrun --help for every option. Copy veltrun to any directory
  on your PATH to install it.")
endif()

configure_file(${PROJECT_SOURCE_DIR}/packaging/README.txt.in ${PROJECT_BINARY_DIR}/README.txt.in
  @ONLY)
if(WIN32)
  # Notepad before Windows 10 1903 reads UTF-8 without a byte-order mark as code page 936.
  file(READ ${PROJECT_BINARY_DIR}/README.txt.in VELTRUN_README)
  string(ASCII 239 187 191 VELTRUN_BOM)
  file(WRITE ${PROJECT_BINARY_DIR}/README.txt.in "${VELTRUN_BOM}${VELTRUN_README}")
endif()
configure_file(${PROJECT_BINARY_DIR}/README.txt.in ${PROJECT_BINARY_DIR}/README.txt
  @ONLY NEWLINE_STYLE ${VELTRUN_NEWLINES})
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/${VELTRUN_LICENSE_NAME}
  @ONLY NEWLINE_STYLE ${VELTRUN_NEWLINES})

# Only this component goes into the archives, whatever else a subproject installs. It is the
# archives' own flat layout, so `cmake --install` leaves it out.
if(TARGET Veltrun)
  install(TARGETS Veltrun RUNTIME DESTINATION . COMPONENT release EXCLUDE_FROM_ALL)
endif()
if(TARGET veltrun_cli)
  install(TARGETS veltrun_cli RUNTIME DESTINATION ${VELTRUN_CLI_DIR} COMPONENT release
    EXCLUDE_FROM_ALL)
endif()
install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/${VELTRUN_LICENSE_NAME}
  DESTINATION . COMPONENT release EXCLUDE_FROM_ALL)

set(CPACK_PACKAGE_NAME "Veltrun")
set(CPACK_PACKAGE_VENDOR "The Veltrun developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_FILE_NAME "Veltrun-${PROJECT_VERSION}-${VELTRUN_PACKAGE_SYSTEM}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ DEB)
endif()
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL release)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_SOURCE_DIR}/out")
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(NOT WIN32)
  # The .deb holds the GNU layout of cmake/Install.cmake below /usr; cmake/CPackOptions.cmake
  # gives it its components.
  set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/cmake/CPackOptions.cmake")
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_PACKAGE_NAME "veltrun")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
  set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_VENDOR} <veltrun@example.org>")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "aria2 | curl | wget")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "veltrun turns the private download links of Thunder,
FlashGet and Whirlwind back into the plain addresses they wrap, one per
line, ready for aria2c, curl or wget. It unwraps the links given as
arguments or every link in a text or web page on standard input, repairs
damaged links, shows GBK and UTF-8 names safely, and can also make such
links.")
endif()
include(CPack)
