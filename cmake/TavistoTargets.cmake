# Shared target helpers: warnings, tests and fuzz targets, all target-scoped.

function(tavisto_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow)
  # GCC 12 reports false overlaps in std::string's own code at -O2 (GCC bug 105329).
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(TAVISTO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# tavisto_add_test(NAME name SOURCES ... [LIBS ...] [ENV VAR=value ...] [GUI])
# A GoogleTest executable whose cases CTest lists one by one. GUI tests run inside a Qt
# application on the offscreen platform, so they need no display.
function(tavisto_add_test)
  if(NOT TAVISTO_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "GUI" "NAME" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  tavisto_warnings(${T_NAME})
  if(T_GUI)
    set_target_properties(${T_NAME} PROPERTIES AUTOMOC ON)
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} tavisto_gui_test_main GTest::gtest)
    list(APPEND T_ENV "QT_QPA_PLATFORM=offscreen")
  else()
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT 600 ENVIRONMENT "${T_ENV}"
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

# tavisto_add_fuzzer(NAME fuzz_name SOURCES ... [LIBS ...] [SEEDS seed-sources ...])
# A libFuzzer target; only built with TAVISTO_FUZZ under clang (scripts/fuzz runs them).
# SEEDS builds fuzz_name_seeds, a program that writes seed inputs into the folder it is given.
function(tavisto_add_fuzzer)
  if(NOT TAVISTO_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS;SEEDS" ${ARGN})
  add_executable(${F_NAME} ${F_SOURCES})
  target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer)
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  if(F_SEEDS)
    add_executable(${F_NAME}_seeds ${F_SEEDS})
    target_link_libraries(${F_NAME}_seeds PRIVATE ${F_LIBS})
  endif()
endfunction()
