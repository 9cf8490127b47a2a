# Packaging: the manual pages, the AppStream metadata, the Debian documentation files and the
# .deb that `cpack -G DEB` makes in the build folder (scripts/package; .ci/package-check checks
# it). The programs, the libraries and the program's data files are installed by the rules
# beside their targets; the files of this one are in packaging/.

set(tavisto_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(tavisto_man ${PROJECT_BINARY_DIR}/man)
include(GNUInstallDirs)

# Manual pages, gzipped as Debian wants them (gzip -9n: no name or time stamp inside); the
# plain pages stay beside them in build/man/ for `man -l`.
# tavisto(1) is written by hand; tavisto-convert(1) is made by help2man from the program's own
# --help and --version, so that it never differs from them. Trees built with sanitizers or for
# fuzzing are never packaged and make none.
if(NOT (TAVISTO_SANITIZE OR TAVISTO_TSAN OR TAVISTO_FUZZ))
  configure_file(${tavisto_packaging}/tavisto.1.in ${tavisto_man}/tavisto.1 @ONLY)
  set(tavisto_man_pages ${tavisto_man}/tavisto.1.gz)
  add_custom_command(OUTPUT ${tavisto_man}/tavisto.1.gz
    COMMAND gzip -9nkf tavisto.1
    DEPENDS ${tavisto_man}/tavisto.1
    WORKING_DIRECTORY ${tavisto_man}
    COMMENT "Compressing the manual page tavisto(1)"
    VERBATIM)

  find_program(HELP2MAN help2man)
  if(HELP2MAN)
    add_custom_command(OUTPUT ${tavisto_man}/tavisto-convert.1.gz
      COMMAND ${HELP2MAN} --no-info --section=1
        "--name=convert media files to MP3 with FFmpeg and LAME"
        "--source=Tavisto ${PROJECT_VERSION}" "--manual=User Commands"
        --include=${tavisto_packaging}/tavisto-convert.h2m
        --output=tavisto-convert.1 $<TARGET_FILE:tavisto-convert>
      COMMAND gzip -9nkf tavisto-convert.1
      DEPENDS tavisto-convert ${tavisto_packaging}/tavisto-convert.h2m
      WORKING_DIRECTORY ${tavisto_man}
      COMMENT "Making the manual page tavisto-convert(1) with help2man"
      VERBATIM)
    list(APPEND tavisto_man_pages ${tavisto_man}/tavisto-convert.1.gz)
  else()
    message(STATUS "help2man not found: the manual page tavisto-convert(1) is not made "
                   "(install help2man and configure again before packaging)")
  endif()
  add_custom_target(tavisto_man_pages ALL DEPENDS ${tavisto_man_pages})
  install(FILES ${tavisto_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The software centres' description of the program; its launchable is
# app/resources/org.quorlen.Tavisto.desktop.
install(FILES ${tavisto_packaging}/org.quorlen.Tavisto.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# What Debian wants beside every package: the copyright, the changelog (a native package's is
# changelog.gz) and the reasons for the lintian warnings that are expected.
set(tavisto_doc ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${tavisto_doc})
add_custom_command(OUTPUT ${tavisto_doc}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${tavisto_packaging}/changelog changelog
  COMMAND gzip -9nf changelog
  DEPENDS ${tavisto_packaging}/changelog
  WORKING_DIRECTORY ${tavisto_doc}
  VERBATIM)
add_custom_target(tavisto_changelog ALL DEPENDS ${tavisto_doc}/changelog.gz)
install(FILES ${tavisto_packaging}/copyright ${tavisto_doc}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavisto)
install(FILES ${tavisto_packaging}/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tavisto)

# Checks of the packaging files that ctest runs with the other tests: the release named in the
# changelog and the metainfo is this version, and the validators accept the metainfo and the
# .desktop file (where they are installed; .ci/package-check installs them).
if(TAVISTO_TESTS)
  add_test(NAME packaging.ReleaseNotesNameThisVersion
    COMMAND ${CMAKE_COMMAND} -DVERSION=${PROJECT_VERSION}
      -DCHANGELOG=${tavisto_packaging}/changelog
      -DMETAINFO=${tavisto_packaging}/org.quorlen.Tavisto.metainfo.xml
      -P ${tavisto_packaging}/check-release.cmake)
  find_program(APPSTREAMCLI appstreamcli)
  if(APPSTREAMCLI)
    add_test(NAME packaging.MetainfoIsValid
      COMMAND ${APPSTREAMCLI} validate --no-net ${tavisto_packaging}/org.quorlen.Tavisto.metainfo.xml)
  endif()
  find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
  if(DESKTOP_FILE_VALIDATE)
    add_test(NAME packaging.DesktopFileIsValid
      COMMAND ${DESKTOP_FILE_VALIDATE} ${PROJECT_SOURCE_DIR}/app/resources/org.quorlen.Tavisto.desktop)
    # desktop-file-validate exits with 0 on warnings, and on the errors it says will be fatal in
    # the future; those fail the test as well.
    set_tests_properties(packaging.DesktopFileIsValid PROPERTIES FAIL_REGULAR_EXPRESSION ": (warning|error):")
  endif()
  # What the package would hold: the build installed into a folder of its own and checked as
  # cpack checks its staging folder (the desktop file, the icon and the metainfo by the
  # application id, the copyright, the manual pages). Needs the whole tree built.
  if(HELP2MAN AND NOT (TAVISTO_SANITIZE OR TAVISTO_TSAN OR TAVISTO_FUZZ))
    add_test(NAME packaging.InstalledTreeIsComplete
      COMMAND ${CMAKE_COMMAND} -DINSTALL_FROM=${PROJECT_BINARY_DIR}
        -DCPACK_TEMPORARY_DIRECTORY=${PROJECT_BINARY_DIR}/packaging/installed-tree
        -DCPACK_PACKAGING_INSTALL_PREFIX=/usr
        -P ${tavisto_packaging}/check-staging.cmake)
  endif()
endif()

# The .deb: `cpack -G DEB` in the build folder makes build/tavisto_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavisto)
set(CPACK_PACKAGE_VENDOR Quorlen)
set(CPACK_PACKAGE_CONTACT "Quorlen <support@tavisto.quorlen.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://tavisto.quorlen.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch converter from WMA, WMV and other media files to MP3")
set(CPACK_PACKAGE_DESCRIPTION [[
Tavisto converts Windows Media files (WMA, WMV, ASF) and any other media
file that FFmpeg can decode into MP3 files encoded with LAME.

Conversion tasks are collected in a checked list and confirmed one by one in
a three-page wizard: source, output name, MP3 settings (constant or variable
bit rate, sample rate, channel mode) and ID3 tags, filled in from the
source's own tags. Several files are converted at once, with the progress of
each file and of the whole run, pause and cancel. A file that fails does not
stop the others, and an MP3 file appears only once it is complete.

tavisto-convert converts files from the command line with the same settings.
]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# dpkg-shlibdeps adds the libraries the programs link (FFmpeg, Qt, the C++ runtime). No linker
# sees the rest: LAME is opened at run time, and Qt loads the SVG plugin for the program's icon.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libmp3lame0, libqt6svg6")
# Help opens the guide, and the About window the home page, through xdg-open; Qt's own dialogs
# speak the user's language with Qt's translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n")
# A package without tavisto-convert(1) is refused (help2man was missing at configure time).
set(CPACK_PRE_BUILD_SCRIPTS ${tavisto_packaging}/check-staging.cmake)
include(CPack)
