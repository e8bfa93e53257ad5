# Finds zstd as the imported target demo::zstd: the system's libzstd on Linux, the prefix scripts/zstd.sh makes for the cross builds.
#
# DEMO_ZSTD_ROOT, when set, names a prefix holding include/zstd.h and lib/libzstd.a
# and is used on any toolchain. Cross builds default to the script's prefix,
# since Debian packages zstd neither for mingw-w64 nor for emscripten.
if(TARGET demo::zstd)
  return()
endif()

if(WIN32)
  set(_demo_zstd_target mingw)
elseif(EMSCRIPTEN)
  set(_demo_zstd_target wasm)
else()
  set(_demo_zstd_target "")
endif()
if(_demo_zstd_target AND NOT DEMO_ZSTD_ROOT)
  execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/zstd.sh --prefix ${_demo_zstd_target}
                  OUTPUT_VARIABLE _demo_zstd_default OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
set(DEMO_ZSTD_ROOT "${_demo_zstd_default}" CACHE PATH
    "Prefix with include/zstd.h and lib/libzstd.a (made by scripts/zstd.sh mingw|wasm); empty: the system's")

if(DEMO_ZSTD_ROOT)
  # Plain paths, not find_library: the cross toolchains re-root every search
  # under their sysroot, and a cached result would outlive a changed root.
  if(NOT EXISTS ${DEMO_ZSTD_ROOT}/include/zstd.h OR NOT EXISTS ${DEMO_ZSTD_ROOT}/lib/libzstd.a)
    if(_demo_zstd_target)
      set(_demo_zstd_how "run scripts/zstd.sh ${_demo_zstd_target} (scripts/build-windows.sh does for mingw)")
    else()
      set(_demo_zstd_how "point DEMO_ZSTD_ROOT at a prefix with both, or leave it empty for the system's libzstd-dev")
    endif()
    message(FATAL_ERROR "zstd not found in DEMO_ZSTD_ROOT=${DEMO_ZSTD_ROOT} "
                        "(needs include/zstd.h and lib/libzstd.a): ${_demo_zstd_how}")
  endif()
  set(_demo_zstd_include ${DEMO_ZSTD_ROOT}/include)
  set(_demo_zstd_library ${DEMO_ZSTD_ROOT}/lib/libzstd.a)
elseif(_demo_zstd_target)
  message(FATAL_ERROR "zstd for ${_demo_zstd_target}: set DEMO_ZSTD_ROOT, or run scripts/zstd.sh ${_demo_zstd_target} "
                      "and configure a new tree")
else()
  find_path(DEMO_ZSTD_INCLUDE zstd.h)
  find_library(DEMO_ZSTD_LIBRARY NAMES zstd)
  if(NOT DEMO_ZSTD_INCLUDE OR NOT DEMO_ZSTD_LIBRARY)
    message(FATAL_ERROR "zstd not found: apt-get install libzstd-dev (./dev installs it)")
  endif()
  set(_demo_zstd_include ${DEMO_ZSTD_INCLUDE})
  set(_demo_zstd_library ${DEMO_ZSTD_LIBRARY})
endif()

add_library(demo::zstd INTERFACE IMPORTED)
target_include_directories(demo::zstd INTERFACE ${_demo_zstd_include})
target_link_libraries(demo::zstd INTERFACE ${_demo_zstd_library})
message(STATUS "zstd: ${_demo_zstd_library}")
