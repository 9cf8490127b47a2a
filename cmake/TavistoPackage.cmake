# Packaging: the manual pages and the AppStream metadata. The programs, the libraries and the
# program's data files are installed by the rules beside their targets; the files of this one
# are in packaging/.

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

# The software centres' description of the program; its launchable is app/resources/tavisto.desktop.
install(FILES ${tavisto_packaging}/org.quorlen.Tavisto.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Checks of the packaging files that ctest runs with the other tests: the validators accept the
# metainfo and the .desktop file (where they are installed).
if(TAVISTO_TESTS)
  find_program(APPSTREAMCLI appstreamcli)
  if(APPSTREAMCLI)
    add_test(NAME packaging.MetainfoIsValid
      COMMAND ${APPSTREAMCLI} validate --no-net ${tavisto_packaging}/org.quorlen.Tavisto.metainfo.xml)
  endif()
  find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
  if(DESKTOP_FILE_VALIDATE)
    add_test(NAME packaging.DesktopFileIsValid
      COMMAND ${DESKTOP_FILE_VALIDATE} ${PROJECT_SOURCE_DIR}/app/resources/tavisto.desktop)
    # desktop-file-validate exits with 0 on warnings, and on the errors it says will be fatal in
    # the future; those fail the test as well.
    set_tests_properties(packaging.DesktopFileIsValid PROPERTIES FAIL_REGULAR_EXPRESSION ": (warning|error):")
  endif()
endif()
