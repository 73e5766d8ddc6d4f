# What `cmake --install` and the Debian package put on a machine: the
# programs, the module, the dialogs program, manual pages, shell completion,
# the desktop's file types, thumbnailer and launchers, samples and documents.
# The layout is GNUInstallDirs'; QORVAN_INSTALL_MODULEDIR and
# QORVAN_INSTALL_LIBEXECDIR are set beside the version in CMakeLists.txt.

set(QORVAN_INSTALL_SAMPLESDIR ${CMAKE_INSTALL_DATADIR}/qorvan/samples)

# The programs say where they install themselves (qorvan_program).
foreach(module qorvan_module qorvan-smooth)
  if(TARGET ${module})
    install(TARGETS ${module} LIBRARY DESTINATION ${QORVAN_INSTALL_MODULEDIR})
  endif()
endforeach()

# Everything a user runs, and nothing else (no tests, benchmarks or fuzzers):
# what ./scripts/run builds, so that the first command leaves every program
# of README.md in build/bin/.
add_custom_target(qorvan_programs)
foreach(program qorvan qorvan-dialogs qorvan-console qorvan_module qorvan-smooth)
  if(TARGET ${program})
    add_dependencies(qorvan_programs ${program})
  endif()
endforeach()

file(GLOB QORVAN_SAMPLE_FILES ${CMAKE_SOURCE_DIR}/samples/*.sld ${CMAKE_SOURCE_DIR}/samples/*.slb)
install(FILES ${QORVAN_SAMPLE_FILES} DESTINATION ${QORVAN_INSTALL_SAMPLESDIR})
file(GLOB QORVAN_DOC_FILES ${CMAKE_SOURCE_DIR}/docs/*.md)
install(FILES README.md ${QORVAN_DOC_FILES} DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(FILES data/qorvan-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME qorvan.xml)
# For file(1): `file -m share/qorvan/magic` (see docs/library.md).
install(FILES data/qorvan.magic DESTINATION ${CMAKE_INSTALL_DATADIR}/qorvan RENAME magic)
install(FILES data/qorvan.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
if(TARGET qorvan)
  install(FILES data/qorvan.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
endif()
if(TARGET qorvan-dialogs)
  install(FILES data/qorvan-view.desktop data/qorvan-manager.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()

# The licence in the form Debian reads (and any packager can), made from
# LICENSE so that the words live in one place; and a changelog for the package.
file(STRINGS LICENSE QORVAN_LICENSE_LINES)
list(SUBLIST QORVAN_LICENSE_LINES 4 -1 QORVAN_LICENSE_LINES)
set(QORVAN_COPYRIGHT "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: qorvan
Source: https://qorvan.dev/

Files: *
Copyright: 2026 The Qorvan developers
License: Expat
")
foreach(line IN LISTS QORVAN_LICENSE_LINES)
  if(line STREQUAL "")
    string(APPEND QORVAN_COPYRIGHT " .\n")
  else()
    string(APPEND QORVAN_COPYRIGHT " ${line}\n")
  endif()
endforeach()
file(WRITE ${CMAKE_BINARY_DIR}/package/copyright "${QORVAN_COPYRIGHT}")
# SOURCE_DATE_EPOCH, when set, makes the date (and so the package) reproducible.
string(TIMESTAMP QORVAN_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(data/debian/changelog.in ${CMAKE_BINARY_DIR}/package/changelog @ONLY)
find_program(GZIP_PROGRAM gzip)
if(GZIP_PROGRAM)
  execute_process(COMMAND ${GZIP_PROGRAM} -9 -n -f ${CMAKE_BINARY_DIR}/package/changelog)
  install(FILES ${CMAKE_BINARY_DIR}/package/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()
install(FILES ${CMAKE_BINARY_DIR}/package/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages, from scdoc sources; qorvan(1) takes its list of commands
# from the program, so it always matches --help.
find_program(SCDOC_PROGRAM scdoc)
if(SCDOC_PROGRAM AND GZIP_PROGRAM)
  set(QORVAN_MAN_DIR ${CMAKE_BINARY_DIR}/man)
  file(MAKE_DIRECTORY ${QORVAN_MAN_DIR})
  set(QORVAN_MAN_PAGES)
  foreach(page qorvan qorvan-console)
    if(NOT TARGET ${page})
      continue()
    endif()
    set(program_arg "")
    set(program_dep "")
    if(page STREQUAL "qorvan")
      set(program_arg -DQORVAN=$<TARGET_FILE:qorvan>)
      set(program_dep qorvan)
    endif()
    add_custom_command(
      OUTPUT ${QORVAN_MAN_DIR}/${page}.1 ${QORVAN_MAN_DIR}/${page}.1.gz
      COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR}/docs/man/${page}.1.scd.in
              -DOUTPUT=${QORVAN_MAN_DIR}/${page}.1 -DSCDOC=${SCDOC_PROGRAM} ${program_arg}
              -DVERSION=${PROJECT_VERSION}
              -DMODULEDIR=${QORVAN_MODULE_DIR_FROM_BINDIR}
              -DSAMPLESDIR=${QORVAN_INSTALL_SAMPLESDIR}
              -P ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
      DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/${page}.1.scd.in ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake ${program_dep}
      COMMENT "Manual page ${page}(1)")
    list(APPEND QORVAN_MAN_PAGES ${QORVAN_MAN_DIR}/${page}.1.gz)
  endforeach()
  add_custom_target(qorvan_man ALL DEPENDS ${QORVAN_MAN_PAGES})
  install(FILES ${QORVAN_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "scdoc or gzip not found: no manual pages")
endif()

# Shell completion, written by qorvan from its own parser.
if(TARGET qorvan)
  set(QORVAN_COMPLETION_DIR ${CMAKE_BINARY_DIR}/completion)
  file(MAKE_DIRECTORY ${QORVAN_COMPLETION_DIR})
  add_custom_command(
    OUTPUT ${QORVAN_COMPLETION_DIR}/qorvan ${QORVAN_COMPLETION_DIR}/_qorvan
    COMMAND qorvan completion bash > ${QORVAN_COMPLETION_DIR}/qorvan
    COMMAND qorvan completion zsh > ${QORVAN_COMPLETION_DIR}/_qorvan
    DEPENDS qorvan
    COMMENT "Shell completion for qorvan")
  add_custom_target(qorvan_completion ALL DEPENDS ${QORVAN_COMPLETION_DIR}/qorvan ${QORVAN_COMPLETION_DIR}/_qorvan)
  install(FILES ${QORVAN_COMPLETION_DIR}/qorvan DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
  install(FILES ${QORVAN_COMPLETION_DIR}/_qorvan DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
endif()

# The Debian package: cpack -G DEB in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qorvan)
set(CPACK_PACKAGE_VENDOR "The Qorvan developers")
set(CPACK_PACKAGE_CONTACT "The Qorvan developers <team@qorvan.dev>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "AutoCAD slide libraries and slides: tool, viewer and AutoLISP host")
set(CPACK_PACKAGE_DESCRIPTION "Qorvan lists, builds, edits and checks AutoCAD slide libraries (.slb)
and draws AutoCAD slides (.sld) to PNG and SVG. It holds the qorvan
command-line tool, the View Slide dialog and the library manager, the
qorvan.arx module with its AutoLISP functions, and qorvan-console, a
stand-in CAD host that loads the module. It teaches the desktop the two
file types, with thumbnails and launchers. Its C library, libqorvan, opens
and draws slides for other programs: GTK and Qt programs through its
gdk-pixbuf loader and Qt image plugins, Python and Pillow through its
qorvan package, and file(1) names slides with its magic file.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://qorvan.dev/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The qorvan Python package runs on Debian's python3 (the rest is found by
# dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_DEPENDS python3)
# libqorvan's shlibs file, so that packages built against it depend on this
# one; the trigger renews the loader's cache.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/data/debian/triggers)
include(CPack)
