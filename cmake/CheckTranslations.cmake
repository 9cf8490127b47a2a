# Checks that a translation covers every interface text: lupdate takes the texts of the sources
# into a copy of the .ts file, and no text of the copy may be left without its translation.
# Run by ctest: cmake -DLUPDATE=... -DTS_FILE=... -DSOURCES=a|b -DOPTIONS=x|y -DWORK=... -P
string(REPLACE "|" ";" SOURCES "${SOURCES}")
string(REPLACE "|" ";" OPTIONS "${OPTIONS}")
file(MAKE_DIRECTORY "${WORK}")
get_filename_component(name "${TS_FILE}" NAME)
set(copy "${WORK}/${name}")
file(COPY_FILE "${TS_FILE}" "${copy}")
execute_process(COMMAND "${LUPDATE}" ${OPTIONS} -silent ${SOURCES} -ts "${copy}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "lupdate failed: ${output}")
endif()
file(READ "${copy}" text)
string(REGEX MATCHALL "<source>[^<]*</source>[ \n\r\t]*<translation type=\"unfinished\"" untranslated "${text}")
list(LENGTH untranslated count)
if(count GREATER 0)
  string(REPLACE ";" "\n" untranslated "${untranslated}")
  message(FATAL_ERROR "${name}: ${count} texts have no translation; run the update_translations target and translate them:\n${untranslated}")
endif()
message(STATUS "${name}: every text is translated")
