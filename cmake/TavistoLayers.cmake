# The layers of the code base and the rule between them, checked when the build is configured.
#
#   platform  <  engine  <  core  <  app, cli
#
# A target of a layer may link targets of its own layer and of lower ones only, and the two
# front ends (app, cli) do not link each other. Sources may include headers of their own layer
# and lower ones only, and below the app no source includes Qt.

set(TAVISTO_LAYER_RANK_platform 0)
set(TAVISTO_LAYER_RANK_engine 1)
set(TAVISTO_LAYER_RANK_core 2)
set(TAVISTO_LAYER_RANK_app 3)
set(TAVISTO_LAYER_RANK_cli 3)

# tavisto_layer(target layer): `target` belongs to `layer`.
function(tavisto_layer target layer)
  if(NOT DEFINED TAVISTO_LAYER_RANK_${layer})
    message(FATAL_ERROR "unknown layer ${layer} for ${target}")
  endif()
  set_property(TARGET ${target} PROPERTY TAVISTO_LAYER ${layer})
  set_property(GLOBAL APPEND PROPERTY TAVISTO_LAYERED_TARGETS ${target})
endfunction()

function(_tavisto_check_link target)
  get_property(layer TARGET ${target} PROPERTY TAVISTO_LAYER)
  get_target_property(links ${target} LINK_LIBRARIES)
  get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
  foreach(dependency IN LISTS links interface)
    if(NOT TARGET "${dependency}")
      continue()
    endif()
    get_property(other TARGET ${dependency} PROPERTY TAVISTO_LAYER)
    if(NOT other OR other STREQUAL layer)
      continue()
    endif()
    if(NOT TAVISTO_LAYER_RANK_${other} LESS TAVISTO_LAYER_RANK_${layer})
      message(FATAL_ERROR "${target} (${layer}) must not link ${dependency} (${other})")
    endif()
  endforeach()
endfunction()

# Folders of each layer, and what their sources must not include.
set(_tavisto_forbidden_platform "engine/|core/|app/|cli/|<Q")
set(_tavisto_forbidden_engine "core/|app/|cli/|<Q")
set(_tavisto_forbidden_core "app/|cli/|<Q")
set(_tavisto_forbidden_cli "app/|<Q")

function(_tavisto_check_includes layer folder)
  file(GLOB_RECURSE sources "${PROJECT_SOURCE_DIR}/${folder}/*.cpp" "${PROJECT_SOURCE_DIR}/${folder}/*.h")
  foreach(source IN LISTS sources)
    # Tests may use what they need to check the layer.
    if(source MATCHES "/tests/")
      continue()
    endif()
    file(STRINGS "${source}" includes REGEX "^#include [\"<]")
    foreach(line IN LISTS includes)
      if(line MATCHES "^#include [\"<](${_tavisto_forbidden_${layer}})")
        message(FATAL_ERROR "${source} (${layer}) must not include: ${line}")
      endif()
    endforeach()
  endforeach()
endfunction()

# Checks every target that declared its layer, and the includes of each layer's folders.
function(tavisto_check_layers)
  get_property(targets GLOBAL PROPERTY TAVISTO_LAYERED_TARGETS)
  foreach(target IN LISTS targets)
    _tavisto_check_link(${target})
  endforeach()
  _tavisto_check_includes(platform platform)
  _tavisto_check_includes(engine engine)
  _tavisto_check_includes(core core)
  _tavisto_check_includes(cli cli)
endfunction()
