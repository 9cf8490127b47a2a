# The layer check (cmake/TavistoLayers.cmake) must stop the configuration for every kind of
# violation, naming its file and line, and must pass the tree as it is.
#
#   cmake -DTAVISTO_SOURCE_DIR=<tree> -DSCRATCH_DIR=<folder> [-DCMAKE_C_COMPILER=<cc>] -P layer_check_test.cmake
#
# The sources of every layer folder are copied into SCRATCH_DIR/tree under a small project whose
# stand-in targets link as the real ones do (the real CMake files need Qt, FFmpeg and the rest).
# That copy must configure. Then one violation of each kind is planted in it, as files and as
# lines added to the stand-in CMake files, and the configuration must fail naming every one,
# while planted uses that are allowed go unnamed.

foreach(variable TAVISTO_SOURCE_DIR SCRATCH_DIR)
  if(NOT ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()

set(tree "${SCRATCH_DIR}/tree")
set(build "${SCRATCH_DIR}/build")
file(REMOVE_RECURSE "${SCRATCH_DIR}")
file(MAKE_DIRECTORY "${tree}")

set(layers platform avpull metascan engine core cli app bench)
foreach(layer IN LISTS layers)
  file(COPY "${TAVISTO_SOURCE_DIR}/${layer}" DESTINATION "${tree}"
    FILES_MATCHING PATTERN "*.c" PATTERN "*.cpp" PATTERN "*.h" PATTERN "*.hpp" PATTERN "*.inc")
endforeach()

file(WRITE "${tree}/stub.c" "int main(void) { return 0; }\n")
file(WRITE "${tree}/CMakeLists.txt" "cmake_minimum_required(VERSION 3.25)
project(LayerCheck LANGUAGES C)
include(\"${TAVISTO_SOURCE_DIR}/cmake/TavistoLayers.cmake\")
add_library(Qt6::Widgets INTERFACE IMPORTED)
set(STUB \"\${PROJECT_SOURCE_DIR}/stub.c\")
foreach(folder ${layers})
  add_subdirectory(\${folder})
endforeach()
tavisto_check_layers()
")

# The stand-in targets of each folder, linked as the real ones are. Planted lines go after them,
# so their line numbers are known.
set(cmake_platform
  "add_library(tavisto_platform STATIC \${STUB})"
  "add_subdirectory(mmstream)"
  "add_executable(platform_tests \${STUB})"
  "target_link_libraries(platform_tests PRIVATE tavisto_platform)"
  "tavisto_layer(tavisto_platform platform)")
set(cmake_platform/mmstream
  "add_library(tavisto_mmstream STATIC \${STUB})"
  "target_link_libraries(tavisto_mmstream PUBLIC tavisto_platform)")
set(cmake_avpull
  "add_library(avpull_core STATIC \${STUB})"
  "target_link_libraries(avpull_core PUBLIC tavisto_mmstream tavisto_platform)"
  "add_library(avpull SHARED \${STUB})"
  "target_link_libraries(avpull PRIVATE avpull_core)"
  "tavisto_layer(avpull avpull)")
set(cmake_metascan
  "add_library(metascan_core STATIC \${STUB})"
  "add_library(metascan SHARED \${STUB})"
  "target_link_libraries(metascan PRIVATE metascan_core)")
set(cmake_engine
  "add_library(tavisto_engine STATIC \${STUB})"
  "target_link_libraries(tavisto_engine PUBLIC tavisto_platform PRIVATE tavisto_mmstream)"
  "add_subdirectory(tests)")
set(cmake_engine/tests
  "add_executable(engine_tests \${STUB})"
  "target_link_libraries(engine_tests PRIVATE tavisto_engine tavisto_mmstream)")
set(cmake_core
  "add_library(tavisto_core STATIC \${STUB})"
  "target_link_libraries(tavisto_core"
  "  PUBLIC tavisto_engine avpull"
  "  PRIVATE metascan)"
  "add_subdirectory(tests)")
set(cmake_core/tests
  "add_executable(core_tests \${STUB})"
  "target_link_libraries(core_tests PRIVATE tavisto_core)")
set(cmake_cli
  "add_library(tavisto_cli STATIC \${STUB})"
  "target_link_libraries(tavisto_cli PUBLIC tavisto_core tavisto_engine)"
  "add_executable(tavisto-convert \${STUB})"
  "target_link_libraries(tavisto-convert PRIVATE tavisto_cli)")
set(cmake_app
  "add_library(tavisto_app STATIC \${STUB})"
  "target_link_libraries(tavisto_app PUBLIC tavisto_core Qt6::Widgets)"
  "add_executable(tavisto \${STUB})"
  "target_link_libraries(tavisto PRIVATE tavisto_app avpull metascan)")
set(cmake_bench
  "add_executable(bench_add_files \${STUB})"
  "target_link_libraries(bench_add_files PRIVATE tavisto_app Qt6::Widgets)")
set(cmake_folders platform platform/mmstream avpull metascan engine engine/tests core core/tests cli app bench)

# Writes each folder's CMakeLists.txt: its stand-ins, then the lines planted in `planted_<folder>`.
function(write_cmake_files)
  foreach(folder IN LISTS cmake_folders)
    string(REPLACE ";" "\n" text "${cmake_${folder}};${planted_${folder}}")
    file(WRITE "${tree}/${folder}/CMakeLists.txt" "${text}\n")
  endforeach()
endfunction()

function(configure out_result out_output)
  set(compiler "")
  if(CMAKE_C_COMPILER)
    set(compiler "-DCMAKE_C_COMPILER=${CMAKE_C_COMPILER}")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -S "${tree}" -B "${build}" ${compiler}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(${out_result} "${result}" PARENT_SCOPE)
  set(${out_output} "${output}" PARENT_SCOPE)
endfunction()

set(failures "")

# The tree as it is passes.
write_cmake_files()
configure(result output)
if(NOT result EQUAL 0)
  string(APPEND failures "the tree as it is was refused:\n${output}\n")
endif()

# Planted links: each row is the folder and the line added to its CMakeLists.txt; the check must
# name that file and line and the dependency.
set(link_rows
  "engine|target_link_libraries(tavisto_engine PRIVATE tavisto_core)|tavisto_core"
  "platform/mmstream|target_link_libraries(tavisto_mmstream PRIVATE Qt6::Widgets)|Qt6::Widgets"
  "platform|target_link_libraries(tavisto_platform PRIVATE Qt6Core)|Qt6Core"
  "avpull|target_link_libraries(avpull_core PRIVATE tavisto_engine)|tavisto_engine"
  "metascan|target_link_libraries(metascan_core PRIVATE avpull)|avpull"
  "core/tests|target_link_libraries(core_tests PRIVATE tavisto_app)|tavisto_app"
  "cli|target_link_libraries(tavisto_cli PUBLIC tavisto_app)|tavisto_app"
  "metascan|tavisto_layer(metascan platform)|declared in the platform layer")
set(expected "")
foreach(row IN LISTS link_rows)
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 folder)
  list(GET fields 1 line)
  list(GET fields 2 named)
  list(APPEND planted_${folder} "${line}")
  list(LENGTH cmake_${folder} stand_ins)
  list(LENGTH planted_${folder} count)
  math(EXPR number "${stand_ins} + ${count}")
  list(APPEND expected "${folder}/CMakeLists.txt:${number}:|${named}")
endforeach()

# Planted includes: each row is the file, its lines ("\n" between them) and the line that breaks
# the rule. "~" stands for a tab.
set(include_rows
  "engine/planted_indented.cpp|// planted\n  #include \"core/settings.h\"|2"
  "engine/planted_hash_apart.h|#  include \"app/main_window.h\"|1"
  "engine/planted_hash_space.hpp|# include <core/settings.h>|1"
  "engine/planted_tabs.cpp|~#~include~\"core/settings.h\"|1"
  "engine/planted_climb.cpp|#include \"engine/audio_file_reader.h\"\n#include \"platform/dynlib.h\"\n#include \"../core/settings.h\"|3"
  "platform/mmstream/planted_climb.c|#include \"../../engine/decoded_input.h\"|1"
  "platform/planted_qt.inc|#include <QString>|1"
  "core/planted_qt_module.cpp|#include <QtCore/qglobal.h>|1"
  "cli/planted_qt_lower_case.h|#include <qglobal.h>|1"
  "avpull/planted.cpp|#include \"engine/decoded_input.h\"|1"
  "metascan/src/planted.cpp|#include \"avpull/avpull.h\"|1"
  "core/planted_bench.cpp|#include \"bench/harness.h\"|1"
  "cli/planted_app.cpp|#include \"app/main_window.h\"|1"
  "engine/tests/planted_test.cpp|#include \"core/settings.h\"|1")
foreach(row IN LISTS include_rows)
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 file)
  list(GET fields 1 text)
  list(GET fields 2 number)
  string(REPLACE "~" "\t" text "${text}")
  file(WRITE "${tree}/${file}" "${text}\n")
  list(APPEND expected "${file}:${number}:|must not include")
endforeach()
# Brackets, semicolons and a continued line before the include, which CMake's lists would
# otherwise join or split; Windows line ends count lines the same.
file(WRITE "${tree}/engine/planted_after_brackets.cpp" "int table[2]; // [\n#define TWICE(x) \\\n  (x)\n#include \"core/settings.h\"\n")
list(APPEND expected "engine/planted_after_brackets.cpp:4:|must not include")
file(WRITE "${tree}/engine/planted_crlf.cpp" "int a = 0;\r\n#include \"core/settings.h\"\r\n")
list(APPEND expected "engine/planted_crlf.cpp:2:|must not include")

# Uses that are allowed, planted beside them: these files must not be named.
file(WRITE "${tree}/app/planted_allowed.cpp" "#include <QWidget>\n#include \"core/settings.h\"\n")
file(WRITE "${tree}/bench/planted_allowed.cpp" "#include <QApplication>\n#include \"app/main_window.h\"\n#include \"cli/command_line.h\"\n")
file(WRITE "${tree}/metascan/src/planted_allowed.cpp" "#include \"platform/id3_genres.h\"\n#include \"genres.h\"\n")
file(WRITE "${tree}/engine/planted_allowed.cpp" "#include <queue>\n#include \"../platform/dynlib.h\"\n#include <libavutil/error.h>\n")
set(allowed app/planted_allowed.cpp bench/planted_allowed.cpp metascan/src/planted_allowed.cpp engine/planted_allowed.cpp)

write_cmake_files()
configure(result output)
if(result EQUAL 0)
  string(APPEND failures "the planted violations were let through\n")
endif()
foreach(row IN LISTS expected)
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 location)
  list(GET fields 1 words)
  string(REGEX REPLACE "([][+.*?()^$|\\\\])" "\\\\\\1" pattern "${location}")
  string(REGEX MATCH "\n[ ]+${pattern} [^\n]*" named "${output}")
  if(NOT named)
    string(APPEND failures "not named: ${location} (${words})\n")
  else()
    string(FIND "${named}" "${words}" found)
    if(found EQUAL -1)
      string(APPEND failures "named without \"${words}\":${named}\n")
    endif()
  endif()
endforeach()
foreach(file IN LISTS allowed)
  string(FIND "${output}" "${file}" found)
  if(NOT found EQUAL -1)
    string(APPEND failures "an allowed use was refused: ${file}\n")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "${failures}\nThe configuration said:\n${output}")
endif()
message(STATUS "Every planted violation was named; the tree as it is passes.")
