# Fails when a layer of the core includes a higher one, or the core includes a system header of one platform.
# Layers bottom-up: content, imaging, flow (with player.h, the state record), shell; platform.h is below them all.
# Usage: cmake -DSOURCE_DIR=<repo> -P check_layers.cmake
cmake_minimum_required(VERSION 3.20)

# Upward includes still being moved to their own layer; each must still exist,
# so that the list only ever shrinks.
set(KNOWN_UPWARD
  "content/frame_index.cpp -> imaging/stack.h"
  "content/frame_index.cpp -> player.h"
  "content/package.cpp -> player.h"
  "content/settings.cpp -> imaging/geometry.h"
  "content/settings.cpp -> player.h"
  "imaging/geometry.cpp -> player.h"
  "imaging/icon.cpp -> player.h"
  "imaging/stack.cpp -> player.h")

function(layer_rank path out)
  if(path MATCHES "^content/")
    set(${out} 0 PARENT_SCOPE)
  elseif(path MATCHES "^imaging/")
    set(${out} 1 PARENT_SCOPE)
  elseif(path MATCHES "^flow/" OR path STREQUAL "player.h" OR path STREQUAL "player.cpp")
    set(${out} 2 PARENT_SCOPE)
  elseif(path MATCHES "^shell/")
    set(${out} 3 PARENT_SCOPE)
  else()
    set(${out} -1 PARENT_SCOPE)  # platform door, capacities, plain words, version
  endif()
endfunction()

file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}/src
     ${SOURCE_DIR}/src/content/* ${SOURCE_DIR}/src/imaging/* ${SOURCE_DIR}/src/flow/* ${SOURCE_DIR}/src/shell/*
     ${SOURCE_DIR}/src/player.* ${SOURCE_DIR}/src/capacity.h ${SOURCE_DIR}/src/plain_words.*)
set(found "")
set(problems "")
foreach(file ${files})
  file(STRINGS ${SOURCE_DIR}/src/${file} lines REGEX "^[ \t]*#[ \t]*include")
  layer_rank(${file} own)
  foreach(line ${lines})
    if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      set(target ${CMAKE_MATCH_1})
      layer_rank(${target} theirs)
      if(target MATCHES "^platform/" AND NOT target MATCHES "^platform/(platform|core_messages)\\.h$")
        list(APPEND problems "${file} includes a backend's header ${target}")
      elseif(theirs GREATER own AND own GREATER_EQUAL 0)
        list(APPEND found "${file} -> ${target}")
      endif()
    elseif(line MATCHES "#[ \t]*include[ \t]*<(windows\\.h|X11/|unistd\\.h|sys/|emscripten)")
      list(APPEND problems "${file} includes the system header <${CMAKE_MATCH_1}...>")
    endif()
  endforeach()
endforeach()
foreach(edge ${found})
  if(NOT "${edge}" IN_LIST KNOWN_UPWARD)
    list(APPEND problems "a lower layer includes a higher one: ${edge}")
  endif()
endforeach()
foreach(edge ${KNOWN_UPWARD})
  if(NOT "${edge}" IN_LIST found)
    list(APPEND problems "gone, so take it off the known list in check_layers.cmake: ${edge}")
  endif()
endforeach()
if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "layering:\n  ${text}")
endif()
message(STATUS "layering: the core's layers look down (${CMAKE_CURRENT_LIST_FILE})")
