# Run by cpack once the files to package are in its staging folder: a package that lacks a file
# a user or the desktop needs is refused, so that no release goes out without it.
#   - the manual page that help2man makes;
#   - the copyright file, where Debian wants it;
#   - the desktop file and the icon named by the application id, the icon being the one the
#     desktop file names, and the AppStream metadata whose launchable is that desktop file.
#
# The test packaging.InstalledTreeIsComplete runs it with -DINSTALL_FROM=<build folder>
# -DCPACK_TEMPORARY_DIRECTORY=<empty folder> -DCPACK_PACKAGING_INSTALL_PREFIX=/usr: the build is
# installed there first, as cpack would stage it.
if(DEFINED INSTALL_FROM)
  file(REMOVE_RECURSE "${CPACK_TEMPORARY_DIRECTORY}")
  execute_process(COMMAND ${CMAKE_COMMAND} --install "${INSTALL_FROM}"
                    --prefix "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}"
                  OUTPUT_QUIET RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cmake --install ${INSTALL_FROM} failed (is every target built?)")
  endif()
endif()
set(root "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(id org.quorlen.Tavisto)

set(page "${root}/share/man/man1/tavisto-convert.1.gz")
if(NOT EXISTS "${page}")
  message(FATAL_ERROR "The package would lack the manual page tavisto-convert(1): install help2man "
                      "(apt-get install help2man), configure the build folder again and rerun cpack.")
endif()

set(missing "")
foreach(file share/doc/tavisto/copyright share/applications/${id}.desktop
             share/icons/hicolor/scalable/apps/${id}.svg share/metainfo/${id}.metainfo.xml)
  if(NOT EXISTS "${root}/${file}")
    string(APPEND missing "\n  ${CPACK_PACKAGING_INSTALL_PREFIX}/${file}")
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "The package would lack:${missing}")
endif()

# A desktop file whose icon is not installed shows a blank in the menu; a launchable that names
# no installed desktop file hides the program from the software centres.
file(STRINGS "${root}/share/applications/${id}.desktop" icon REGEX "^Icon=")
if(NOT icon STREQUAL "Icon=${id}")
  message(FATAL_ERROR "${id}.desktop names the icon \"${icon}\", not Icon=${id}")
endif()
file(READ "${root}/share/metainfo/${id}.metainfo.xml" metainfo)
if(NOT metainfo MATCHES "<launchable type=\"desktop-id\">([^<]*)</launchable>")
  message(FATAL_ERROR "${id}.metainfo.xml has no desktop-id launchable")
endif()
if(NOT EXISTS "${root}/share/applications/${CMAKE_MATCH_1}")
  message(FATAL_ERROR "${id}.metainfo.xml launches ${CMAKE_MATCH_1}, which the package does not install")
endif()
if(NOT metainfo MATCHES "<project_license>GPL-3.0-or-later</project_license>")
  message(FATAL_ERROR "${id}.metainfo.xml does not give the project's licence, GPL-3.0-or-later")
endif()
