# Install rules and packages: on Linux the programs, manual pages, example and
# documents under PREFIX, and a Debian package (cpack -G DEB); for Windows a
# folder to unpack and run (cpack -G ZIP); for the web a folder of static
# files to serve (cpack -G ZIP). Tests, benchmarks and fuzz targets have no
# install rules, so nothing of theirs is installed or packaged.
include(GNUInstallDirs)

if(POLYVIEW_PLATFORM STREQUAL "web")
  install(FILES ${POLYVIEW_SITE_DIR}/polyview.html ${POLYVIEW_SITE_DIR}/polyview.js DESTINATION .)
  install(DIRECTORY examples/ DESTINATION examples)
  configure_file(packaging/README-web.txt.in README.txt @ONLY)
  configure_file(LICENSE LICENSE.txt COPYONLY)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME web)
elseif(WIN32)
  # polyview.exe at the top of the folder, the example beside it; the texts
  # with Windows line ends, so that every editor there shows them right.
  # The program is linked stripped and goes into the zip as it is: the file
  # that the tests run under Wine is the file that ships.
  target_link_options(polyview PRIVATE -s)
  install(TARGETS polyview RUNTIME DESTINATION .)
  install(DIRECTORY examples/ DESTINATION examples)
  configure_file(packaging/README-windows.txt.in README.txt @ONLY NEWLINE_STYLE WIN32)
  configure_file(LICENSE LICENSE.txt @ONLY NEWLINE_STYLE WIN32)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
else()
  install(TARGETS polyview polyview-tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/polyview/examples)
  install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # Manual pages carry the version and are installed compressed, as Debian
  # wants them; man reads them either way.
  set(manPages)
  foreach(page polyview.1 polyview-tool.1)
    configure_file(man/${page}.in man/${page} @ONLY)
    add_custom_command(OUTPUT man/${page}.gz
                       COMMAND gzip -9 -n -k -f ${page}
                       DEPENDS ${PROJECT_BINARY_DIR}/man/${page}
                       WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/man
                       VERBATIM)
    list(APPEND manPages ${PROJECT_BINARY_DIR}/man/${page}.gz)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${manPages})
  install(FILES ${manPages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  # The desktop: the menu entry, the model file type, the thumbnailer, and the
  # icon, its PNGs drawn from the SVG at build time. The desktop, MIME and
  # icon databases are brought up to date by the file triggers of
  # desktop-file-utils, shared-mime-info and the icon cache, so the package
  # has no maintainer scripts.
  find_program(RSVG_CONVERT rsvg-convert)
  if(NOT RSVG_CONVERT)
    message(FATAL_ERROR "rsvg-convert (Debian: librsvg2-bin) draws the icon's PNGs")
  endif()
  set(desktop ${PROJECT_SOURCE_DIR}/packaging/desktop)
  set(iconPngs)
  foreach(size 16 22 24 32 48 64 128 256)
    set(png ${PROJECT_BINARY_DIR}/icons/${size}x${size}/polyview.png)
    add_custom_command(OUTPUT ${png}
                       COMMAND ${CMAKE_COMMAND} -E make_directory icons/${size}x${size}
                       COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${desktop}/polyview.svg
                       DEPENDS ${desktop}/polyview.svg
                       WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
                       VERBATIM)
    list(APPEND iconPngs ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(icons ALL DEPENDS ${iconPngs})
  install(FILES ${desktop}/polyview.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${desktop}/polyview.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${desktop}/polyview.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  install(FILES ${desktop}/polyview.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
  set(CPACK_GENERATOR DEB)
endif()

# A cache from before the default had an address takes the default.
if(DEFINED CACHE{POLYVIEW_PACKAGE_MAINTAINER} AND NOT POLYVIEW_PACKAGE_MAINTAINER MATCHES "<.+@.+>")
  message(WARNING "POLYVIEW_PACKAGE_MAINTAINER \"${POLYVIEW_PACKAGE_MAINTAINER}\" has no address: the default")
  unset(POLYVIEW_PACKAGE_MAINTAINER CACHE)
endif()
set(POLYVIEW_PACKAGE_MAINTAINER
    "The polyview developers <maintainers@users.noreply.c-seed-92a6c7ea.example>"
    CACHE STRING "Maintainer named in the packages, as 'Name <address>'")
set(CPACK_PACKAGE_VENDOR "The polyview developers")
set(CPACK_PACKAGE_CONTACT "${POLYVIEW_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "polyview draws one triangle model, kept in a plain-text format and textured
with a picture (BMP, PNG, JPEG or GIF), in an OpenGL window that switches
between fullscreen and windowed mode with F1.

polyview-tool is its command-line companion: it shows what the viewer makes
of a model or a picture, draws the viewer's first frame without a display,
checks models for mistakes and converts meshes from other formats.")
# The Linux programs are built with debugging information; the package ships
# them without.
if(NOT WIN32)
  set(CPACK_STRIP_FILES ON)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends: computed from the libraries the programs link (dpkg-shlibdeps),
# and libGL, which SDL opens only at run time to make the viewer's context
# (it also brings Mesa's drivers, which polyview-tool's EGL context needs).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS libgl1)

# Debian's changelog and copyright file, for the documents' folder.
if(CPACK_GENERATOR STREQUAL "DEB")
  configure_file(packaging/debian/changelog.in debian/changelog @ONLY)
  add_custom_command(OUTPUT debian/changelog.gz
                     COMMAND gzip -9 -n -k -f changelog
                     DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog
                     WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/debian
                     VERBATIM)
  add_custom_target(debian_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog.gz)
  # The licence's text, indented as a copyright file's paragraph wants it.
  file(READ LICENSE licenceText)
  string(REGEX MATCH "Permission.*IN THE\nSOFTWARE\\." licenceText "${licenceText}")
  string(REPLACE "\n\n" "\n.\n" licenceText "${licenceText}")
  string(REPLACE "\n" "\n " licenceText "${licenceText}")
  configure_file(packaging/debian/copyright.in debian/copyright @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/debian/changelog.gz ${PROJECT_BINARY_DIR}/debian/copyright
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

include(CPack)
