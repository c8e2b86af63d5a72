# cmake -DBUILD_DIR=<build tree> [-DCONFIG=<config>] -P check_layers.cmake
# Every forbidden probe must fail because its header is not found; the
# allowed probe must build.
set(forbidden
  "toolkit_includes_controls|controls/control_framework.h"
  "toolkit_includes_app|app/console_window.h"
  "controls_includes_app|app/console_window.h"
  "channel_includes_toolkit|toolkit/event_queue.h"
  "channel_includes_controls|controls/control_framework.h")
set(allowed controls_includes_toolkit)

set(config_args "")
if(CONFIG)
  set(config_args --config ${CONFIG})
endif()

function(build_probe name result output)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target layer_probe_${name} ${config_args}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  set(${result} ${rc} PARENT_SCOPE)
  set(${output} "${out}" PARENT_SCOPE)
endfunction()

set(failures 0)
foreach(entry IN LISTS allowed)
  build_probe(${entry} rc out)
  if(NOT rc EQUAL 0)
    message(SEND_ERROR "${entry}: an allowed include did not build:\n${out}")
    math(EXPR failures "${failures} + 1")
  else()
    message(STATUS "${entry}: builds")
  endif()
endforeach()

foreach(entry IN LISTS forbidden)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 name)
  list(GET parts 1 header)
  build_probe(${name} rc out)
  # GCC: "<header>: No such file or directory"; clang: "'<header>' file not
  # found"; MSVC: "Cannot open include file: '<header>'".
  string(REPLACE "." "\\." pattern "${header}")
  if(rc EQUAL 0)
    message(SEND_ERROR "${name}: ${header} was reachable and the probe built")
    math(EXPR failures "${failures} + 1")
  elseif(NOT out MATCHES "${pattern}'?:? No such file|'${pattern}' file not found|Cannot open include file: '${pattern}'")
    message(SEND_ERROR "${name}: failed, but not for want of ${header}:\n${out}")
    math(EXPR failures "${failures} + 1")
  else()
    message(STATUS "${name}: ${header} not found, as it must be")
  endif()
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} layer probe(s) wrong")
endif()
