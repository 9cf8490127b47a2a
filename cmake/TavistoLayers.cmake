# The layers of the code base and what each may use, checked when the build is configured.
#
#   layer     may use                                     Qt
#   platform  (the C++ library, FFmpeg)                   no
#   avpull    platform                                    no
#   metascan  platform                                    no
#   engine    platform                                    no
#   core      engine, avpull, metascan, platform          no
#   cli       core, engine, avpull, metascan, platform    no
#   app       core, engine, avpull, metascan, platform    yes
#   bench     every layer                                 yes
#
# Each top-level folder is a layer. Every target belongs to the layer of the folder whose
# CMakeLists.txt defines it, and every source (tests and fuzz targets included) to the folder it
# lives in. A target may link targets of its own layer and of the layers it may use, and Qt only
# in app and bench; a source may include headers of those only, however the include is spelled
# (indented, "# include", angle or quote, a relative path that climbs into another folder), and
# Qt headers (<QWidget>, <QtCore/...>, <qglobal.h>) only in app and bench. The benchmarks drive
# the whole program, windows included; nothing may use them.
#
# tavisto_check_layers() reports every violation at once, each as "file:line: what", and stops
# the configuration. cmake/tests/layer_check_test.cmake plants one of each kind in a copy of the
# tree and expects every one to be named.

set(TAVISTO_LAYERS platform avpull metascan engine core cli app bench)
set(_tavisto_uses_platform "")
set(_tavisto_uses_avpull platform)
set(_tavisto_uses_metascan platform)
set(_tavisto_uses_engine platform)
set(_tavisto_uses_core platform avpull metascan engine)
set(_tavisto_uses_cli platform avpull metascan engine core)
set(_tavisto_uses_app platform avpull metascan engine core)
set(_tavisto_uses_bench platform avpull metascan engine core cli app)
set(_tavisto_qt_layers app bench)
set(_tavisto_qt_users "app and bench")
set(_tavisto_source_patterns *.c *.cc *.cpp *.cxx *.h *.hh *.hpp *.hxx *.inc *.ipp *.tpp)

# tavisto_layer(target layer): states that `target` belongs to `layer`. The folder decides; the
# check fails when the statement disagrees with it (a target moved without its statement).
function(tavisto_layer target layer)
  if(NOT layer IN_LIST TAVISTO_LAYERS)
    message(FATAL_ERROR "unknown layer ${layer} for ${target}")
  endif()
  set_property(TARGET ${target} PROPERTY TAVISTO_LAYER ${layer})
endfunction()

# The layer of `path` (absolute, or relative to the source tree): its first folder when that is a
# layer, else "".
function(_tavisto_layer_of path out)
  cmake_path(ABSOLUTE_PATH path BASE_DIRECTORY "${PROJECT_SOURCE_DIR}" NORMALIZE OUTPUT_VARIABLE absolute)
  cmake_path(RELATIVE_PATH absolute BASE_DIRECTORY "${PROJECT_SOURCE_DIR}" OUTPUT_VARIABLE relative)
  set(layer "")
  if(relative MATCHES "^([^/]+)/" AND CMAKE_MATCH_1 IN_LIST TAVISTO_LAYERS)
    set(layer "${CMAKE_MATCH_1}")
  endif()
  set(${out} "${layer}" PARENT_SCOPE)
endfunction()

# Whether code of layer `user` may use layer `used`.
function(_tavisto_may_use user used out)
  if(user STREQUAL used OR used IN_LIST _tavisto_uses_${user})
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

function(_tavisto_report text)
  set_property(GLOBAL APPEND_STRING PROPERTY TAVISTO_LAYER_VIOLATIONS "  ${text}\n")
endfunction()

function(_tavisto_relative path out)
  cmake_path(RELATIVE_PATH path BASE_DIRECTORY "${PROJECT_SOURCE_DIR}" OUTPUT_VARIABLE relative)
  set(${out} "${relative}" PARENT_SCOPE)
endfunction()

# "file:line" of the first line of the CMakeLists.txt in `folder` that names every one of
# `names` as a word; just "file" when no line does.
function(_tavisto_cmake_location folder out)
  set(file "${folder}/CMakeLists.txt")
  _tavisto_relative("${file}" relative)
  set(location "${relative}")
  if(EXISTS "${file}")
    file(READ "${file}" content)
    string(REGEX REPLACE "[][;\\\\]" "_" content "${content}")
    string(REPLACE "\n" ";" lines "${content}")
    set(number 0)
    foreach(line IN LISTS lines)
      math(EXPR number "${number} + 1")
      set(all TRUE)
      foreach(name IN LISTS ARGN)
        string(REGEX REPLACE "([][+.*?()^$|\\\\])" "\\\\\\1" pattern "${name}")
        if(NOT line MATCHES "(^|[ \t(\"])${pattern}([ \t()\"]|$)")
          set(all FALSE)
          break()
        endif()
      endforeach()
      if(all)
        set(location "${relative}:${number}")
        break()
      endif()
    endforeach()
  endif()
  set(${out} "${location}" PARENT_SCOPE)
endfunction()

# Whether the link item `item` is Qt: an imported Qt target or a Qt library named directly.
function(_tavisto_is_qt item out)
  if(item MATCHES "^Qt[0-9]*::" OR item MATCHES "(^|/|-l)(lib)?Qt[0-9]*[A-Z][A-Za-z]*")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

function(_tavisto_check_target target)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "UTILITY" OR type STREQUAL "GLOBAL_TARGET" OR type STREQUAL "UNKNOWN_LIBRARY")
    return()
  endif()
  get_target_property(folder ${target} SOURCE_DIR)
  _tavisto_layer_of("${folder}/" layer)
  if(NOT layer)
    _tavisto_cmake_location("${folder}" where ${target})
    _tavisto_report("${where}: ${target} is defined outside the layer folders (${TAVISTO_LAYERS})")
    return()
  endif()
  get_target_property(declared ${target} TAVISTO_LAYER)
  if(declared AND NOT declared STREQUAL layer)
    _tavisto_cmake_location("${folder}" where tavisto_layer ${target} ${declared})
    _tavisto_report("${where}: ${target} is declared in the ${declared} layer but is defined in ${layer}/")
  endif()

  # A static library's private links reappear as $<LINK_ONLY:...>; a link made from another
  # folder is bracketed by ::@(directory) markers.
  set(items "")
  foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
    get_target_property(values ${target} ${property})
    foreach(item IN LISTS values)
      if(item MATCHES "^\\$<LINK_ONLY:(.+)>$")
        set(item "${CMAKE_MATCH_1}")
      endif()
      if(item AND NOT item MATCHES "^::@" AND NOT item MATCHES "\\$<" AND NOT item MATCHES "-NOTFOUND$")
        list(APPEND items "${item}")
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES items)
  foreach(item IN LISTS items)
    if(TARGET "${item}")
      get_target_property(aliased "${item}" ALIASED_TARGET)
      set(dependency "${item}")
      if(aliased)
        set(dependency "${aliased}")
      endif()
      get_target_property(imported "${dependency}" IMPORTED)
      if(NOT imported)
        get_target_property(dependency_folder "${dependency}" SOURCE_DIR)
        _tavisto_layer_of("${dependency_folder}/" used)
        if(used)
          _tavisto_may_use(${layer} ${used} allowed)
          if(NOT allowed)
            _tavisto_cmake_location("${folder}" where "${item}")
            _tavisto_report("${where}: ${target} (${layer}) must not link ${item} (${used})")
          endif()
        endif()
        continue()
      endif()
    endif()
    _tavisto_is_qt("${item}" qt)
    if(qt AND NOT layer IN_LIST _tavisto_qt_layers)
      _tavisto_cmake_location("${folder}" where "${item}")
      _tavisto_report("${where}: ${target} (${layer}) must not link Qt (${item}); only ${_tavisto_qt_users} may")
    endif()
  endforeach()
endfunction()

# The layer `path` (an include's text) names from `source`: a quoted path is looked up beside
# the source first, as the compiler does; a path that starts with ./ or ../ is always taken from
# there; every other path is taken from the top of the tree (the include directory).
function(_tavisto_included_layer source path out)
  cmake_path(GET source PARENT_PATH folder)
  set(beside "${folder}/${path}")
  if(path MATCHES "^\\.\\.?/" OR EXISTS "${beside}")
    _tavisto_layer_of("${beside}" layer)
  else()
    _tavisto_layer_of("${PROJECT_SOURCE_DIR}/${path}" layer)
  endif()
  set(${out} "${layer}" PARENT_SCOPE)
endfunction()

function(_tavisto_check_sources layer)
  set(globs "")
  foreach(pattern IN LISTS _tavisto_source_patterns)
    list(APPEND globs "${PROJECT_SOURCE_DIR}/${layer}/${pattern}")
  endforeach()
  file(GLOB_RECURSE sources LIST_DIRECTORIES false ${globs})
  set(include_line "^[ \t]*#[ \t]*include[ \t]*([<\"])([^>\"]*)[>\"]")
  foreach(source IN LISTS sources)
    file(READ "${source}" content)
    if(NOT content MATCHES "#[ \t]*include")
      continue()
    endif()
    # Semicolons, brackets and backslashes would join or split lines as a CMake list.
    string(REGEX REPLACE "[][;\\\\]" "_" content "${content}")
    string(REPLACE "\n" ";" lines "${content}")
    set(number 0)
    foreach(line IN LISTS lines)
      math(EXPR number "${number} + 1")
      if(NOT line MATCHES "${include_line}")
        continue()
      endif()
      set(path "${CMAKE_MATCH_2}")
      set(problem "")
      if(path MATCHES "^Q" OR path MATCHES "^q[a-z0-9_]*\\.h$")
        if(NOT layer IN_LIST _tavisto_qt_layers)
          set(problem "Qt; only ${_tavisto_qt_users} may")
        endif()
      else()
        _tavisto_included_layer("${source}" "${path}" used)
        if(used)
          _tavisto_may_use(${layer} ${used} allowed)
          if(NOT allowed)
            set(problem "the ${used} layer")
          endif()
        endif()
      endif()
      if(problem)
        _tavisto_relative("${source}" relative)
        _tavisto_report("${relative}:${number}: ${layer} must not include ${path} (${problem})")
      endif()
    endforeach()
  endforeach()
endfunction()

function(_tavisto_targets_in folder out)
  get_property(targets DIRECTORY "${folder}" PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subfolders DIRECTORY "${folder}" PROPERTY SUBDIRECTORIES)
  foreach(subfolder IN LISTS subfolders)
    _tavisto_targets_in("${subfolder}" more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Checks every target of the project and every source of each layer folder; stops the
# configuration with the list of violations when there is any. Registers the check's own test.
function(tavisto_check_layers)
  set_property(GLOBAL PROPERTY TAVISTO_LAYER_VIOLATIONS "")
  _tavisto_targets_in("${PROJECT_SOURCE_DIR}" targets)
  foreach(target IN LISTS targets)
    _tavisto_check_target(${target})
  endforeach()
  foreach(layer IN LISTS TAVISTO_LAYERS)
    _tavisto_check_sources(${layer})
  endforeach()
  get_property(violations GLOBAL PROPERTY TAVISTO_LAYER_VIOLATIONS)
  if(violations)
    message(FATAL_ERROR "Layer violations (see cmake/TavistoLayers.cmake):\n${violations}")
  endif()

  if(TAVISTO_TESTS)
    add_test(NAME layers.EveryKindOfViolationStopsTheConfiguration
      COMMAND ${CMAKE_COMMAND}
        -DTAVISTO_SOURCE_DIR=${PROJECT_SOURCE_DIR}
        -DSCRATCH_DIR=${PROJECT_BINARY_DIR}/layer_check
        -DCMAKE_C_COMPILER=${CMAKE_C_COMPILER}
        -P ${PROJECT_SOURCE_DIR}/cmake/tests/layer_check_test.cmake)
  endif()
endfunction()
