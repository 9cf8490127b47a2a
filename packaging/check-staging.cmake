# Run by cpack once the files to package are in its staging folder: a package without the
# manual page that help2man makes is refused, so that no release goes out without it.
set(page "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/share/man/man1/tavisto-convert.1.gz")
if(NOT EXISTS "${page}")
  message(FATAL_ERROR "The package would lack the manual page tavisto-convert(1): install help2man "
                      "(apt-get install help2man), configure the build folder again and rerun cpack.")
endif()
