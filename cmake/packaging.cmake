# SPDX-License-Identifier: MIT
# Installing and packaging the app.
#
#   cmake --install BUILD   the program and, on Linux, its desktop entry, the
#                           MIME type of .ipt data files, its icons and its
#                           manual page, under CMAKE_INSTALL_PREFIX
#   cpack -G DEB            (Linux app build) tavrino_<version>_<arch>.deb
#   cpack -G ZIP            (Windows build) tavrino-<version>-win64.zip:
#                           tavrino.exe and README-windows.txt
#   cmake --build BUILD --target msi
#                           (Windows build) tavrino-<version>-win64.msi beside
#                           it: the same files, a Start menu shortcut, the
#                           .ipt file type and an Apps & Features entry
#
# Everything of the app is installed as the component "app", and the
# packages hold that component only: a test program or a third-party
# subproject that installs something never reaches a package. The version is
# the one in project(); nothing here repeats it.
include(GNUInstallDirs)

set(TAVRINO_PACKAGE_CONTACT "tavrino maintainers <maintainers@tavrino.invalid>"
    CACHE STRING "Maintainer named in the packages")

set(tavrino_data ${PROJECT_SOURCE_DIR}/data)

if(WIN32)
  # CR LF, so that every Notepad shows it as lines.
  configure_file(${tavrino_data}/README-windows.txt.in ${PROJECT_BINARY_DIR}/README-windows.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README-windows.txt DESTINATION . COMPONENT app)
elseif(TAVRINO_BUILD_LINUX_APP)
  set(tavrino_share ${CMAKE_INSTALL_DATADIR})
  install(FILES ${tavrino_data}/tavrino.desktop DESTINATION ${tavrino_share}/applications
          COMPONENT app)
  # Double-clicking a .ipt file offers tavrino: the MIME type names the
  # files, the desktop entry's MimeType line names tavrino as one of their
  # programs.
  install(FILES ${tavrino_data}/tavrino-mime.xml DESTINATION ${tavrino_share}/mime/packages
          RENAME tavrino.xml COMPONENT app)
  install(FILES ${tavrino_data}/icons/tavrino.svg
          DESTINATION ${tavrino_share}/icons/hicolor/scalable/apps COMPONENT app)
  # The PNGs are rendered from the SVG by data/icons/render.sh and committed,
  # so that building needs no SVG renderer.
  foreach(size 16 24 32 48 64 128 256)
    install(FILES ${tavrino_data}/icons/tavrino-${size}.png
            DESTINATION ${tavrino_share}/icons/hicolor/${size}x${size}/apps
            RENAME tavrino.png COMPONENT app)
  endforeach()
  configure_file(${tavrino_data}/tavrino.1.in ${PROJECT_BINARY_DIR}/tavrino.1 @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/tavrino.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT app)
  # Debian looks for the licence of every package here.
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR}
          RENAME copyright COMPONENT app)

  # A plain `cmake --install` into a live prefix refreshes the MIME and
  # desktop databases there, or the new type stays unknown until something
  # else does. A package build (cpack installs the component "app") or a
  # staged install (DESTDIR) leaves it to the package: Debian's
  # shared-mime-info and desktop-file-utils refresh them through triggers.
  string(CONFIGURE [[
    if(NOT DEFINED CMAKE_INSTALL_COMPONENT AND "$ENV{DESTDIR}" STREQUAL "")
      set(share "${CMAKE_INSTALL_PREFIX}/@tavrino_share@")
      find_program(tavrino_update_mime update-mime-database)
      find_program(tavrino_update_desktop update-desktop-database)
      if(tavrino_update_mime)
        message(STATUS "Refreshing the MIME database in ${share}/mime")
        execute_process(COMMAND "${tavrino_update_mime}" "${share}/mime")
      endif()
      if(tavrino_update_desktop)
        message(STATUS "Refreshing the desktop database in ${share}/applications")
        execute_process(COMMAND "${tavrino_update_desktop}" -q "${share}/applications")
      endif()
    endif()
  ]] tavrino_refresh @ONLY)
  install(CODE "${tavrino_refresh}")
endif()

# A build of the core alone has no app to package.
if(NOT (WIN32 OR TAVRINO_BUILD_LINUX_APP))
  return()
endif()

set(CPACK_PACKAGE_NAME tavrino)
set(CPACK_PACKAGE_VENDOR tavrino)
set(CPACK_PACKAGE_CONTACT ${TAVRINO_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "types a prepared list of marks into another program's form")
# Lines of a Debian long description stay under 80 columns.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "tavrino shows the students and marks of a data file (.ipt) as a numbered"
  "list in a small window that stays above all others. After a visible"
  "countdown it types every mark, each followed by Tab, into whichever window"
  "has the keyboard focus, so that the marks fill successive fields of another"
  "program's data-entry form.")
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};app;/")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/out/")

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(tavrino_windows win64)
  else()
    set(tavrino_windows win32)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${tavrino_windows})

  # The Windows Installer package beside the ZIP, for school IT to deploy:
  # the files of the ZIP, staged by installing the component "app", and the
  # icon, put together by wixl (msitools) from data/tavrino.wxs.
  find_program(TAVRINO_WIXL wixl)
  set(tavrino_msi ${PROJECT_BINARY_DIR}/${CPACK_PACKAGE_FILE_NAME}.msi)
  if(NOT tavrino_windows STREQUAL win64)
    add_custom_target(msi COMMAND ${CMAKE_COMMAND} -E echo "The MSI is built for 64-bit Windows only."
                      COMMAND ${CMAKE_COMMAND} -E false)
  elseif(NOT TAVRINO_WIXL)
    add_custom_target(msi COMMAND ${CMAKE_COMMAND} -E echo "The MSI needs wixl (Debian: apt-get install wixl)."
                      COMMAND ${CMAKE_COMMAND} -E false)
  else()
    set(tavrino_msi_stage ${PROJECT_BINARY_DIR}/msi)
    # wixl finds sources only by paths relative to where it runs.
    add_custom_command(OUTPUT ${tavrino_msi}
      COMMAND ${CMAKE_COMMAND} -E rm -rf ${tavrino_msi_stage}
      COMMAND ${CMAKE_COMMAND} --install ${PROJECT_BINARY_DIR} --component app --prefix ${tavrino_msi_stage}
      COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/src/platform/win32/tavrino.ico ${tavrino_msi_stage}
      COMMAND ${TAVRINO_WIXL} -a x64 -D Version=${PROJECT_VERSION} -D SourceDir=msi -o ${tavrino_msi}
              ${tavrino_data}/tavrino.wxs
      WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
      DEPENDS tavrino ${tavrino_data}/tavrino.wxs ${PROJECT_BINARY_DIR}/README-windows.txt
              ${PROJECT_SOURCE_DIR}/src/platform/win32/tavrino.ico
      COMMENT "Building ${CPACK_PACKAGE_FILE_NAME}.msi"
      VERBATIM)
    add_custom_target(msi DEPENDS ${tavrino_msi})
  endif()
else()
  set(CPACK_GENERATOR DEB)
  # tavrino_<version>_<arch>.deb
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The libraries the program links come from dpkg-shlibdeps (dpkg-dev):
  # Qt with QtDBus for the remote-desktop portal, Xlib and XTEST, the
  # Wayland client library and xkbcommon. Qt loads its platform plugins at
  # run time, out of shlibdeps' sight, and libqt6gui6 only recommends them:
  # X11's (qt6-qpa-plugins), and Wayland's (qt6-wayland), so that on a
  # Wayland desktop the window is a Wayland window that knows when it has
  # the focus. The window's Arial is drawn with its metric twin Liberation
  # Sans.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-wayland")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-liberation)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
