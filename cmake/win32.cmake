# The Windows build: the player on the Win32 backend, and the core's unit tests on the headless backend, run through Wine.
# Both archive the one build of the core (demo_core, CMakeLists.txt) with their backend.

target_compile_definitions(demo_core PUBLIC _WIN32_WINNT=0x0601)
file(GLOB WIN32_SOURCES CONFIGURE_DEPENDS src/platform/win32/*.cpp src/platform/shared/wakeup.cpp
     src/platform/shared/clock.cpp)

add_library(demo_win32 STATIC ${WIN32_SOURCES})
target_link_libraries(demo_win32 PUBLIC demo_core user32 gdi32 kernel32)

# A console program, so that the diagnostics print where it was started.
add_executable(demoplayer src/app/player_main.cpp)
target_link_libraries(demoplayer PRIVATE demo_win32)

if(DEMO_TESTS)
  enable_testing()
  # GoogleTest from its Debian source package, built with the cross compiler.
  set(DEMO_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
  if(EXISTS ${DEMO_GTEST_SOURCE}/CMakeLists.txt)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${DEMO_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # The headless backend without FreeType: text is measured in fixed cells.
    # Files come from the Windows backend. Of platform/shared/ only what is
    # named here: not text.cpp (FreeType) nor posix_files.cpp.
    set(HEADLESS_SHARED_SOURCES surface.cpp icon_pixels.cpp wakeup.cpp message_system.cpp clock.cpp)
    list(TRANSFORM HEADLESS_SHARED_SOURCES PREPEND src/platform/shared/)
    file(GLOB HEADLESS_SOURCES CONFIGURE_DEPENDS src/platform/headless/*.cpp)
    add_library(demo_core_headless STATIC ${HEADLESS_SOURCES} ${HEADLESS_SHARED_SOURCES}
                src/platform/win32/files.cpp)
    target_link_libraries(demo_core_headless PUBLIC demo_core)
    file(GLOB CORE_TESTS CONFIGURE_DEPENDS tests/unit/core_*_test.cpp tests/unit/icon_test.cpp tests/unit/notes_test.cpp
         tests/unit/text_*_test.cpp)
    add_executable(unit_tests ${CORE_TESTS} tests/unit/test_support.cpp)
    target_include_directories(unit_tests PRIVATE tests/unit)
    target_link_libraries(unit_tests PRIVATE demo_core_headless gtest_main)
    # zstd cross-built from Debian's source (scripts/zstd.sh mingw), on its own.
    add_executable(zstd_link_test tests/unit/zstd_link_test.cpp)
    target_link_libraries(zstd_link_test PRIVATE demo::zstd gtest_main)
    if(DEMO_WINE)
      add_test(NAME win32.unit_tests COMMAND ${CMAKE_COMMAND} -E env WINEDEBUG=-all ${DEMO_WINE}
                                             $<TARGET_FILE:unit_tests>)
      set_tests_properties(win32.unit_tests PROPERTIES TIMEOUT 600)
      add_test(NAME win32.zstd_link_test COMMAND ${CMAKE_COMMAND} -E env WINEDEBUG=-all ${DEMO_WINE}
                                                 $<TARGET_FILE:zstd_link_test>)
      set_tests_properties(win32.zstd_link_test PROPERTIES TIMEOUT 120)
    endif()
  else()
    message(STATUS "GoogleTest sources not found in ${DEMO_GTEST_SOURCE}: Windows unit tests are not built")
  endif()
endif()

if(DEMO_TESTS)
  # A player holding the marker would take its own code for appended content.
  add_test(NAME win32.no_marker_in_player
           COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:demoplayer> -P ${CMAKE_SOURCE_DIR}/cmake/check_no_marker.cmake)
endif()

# The end-to-end suite needs the host tools: demotool bundles and renders,
# and the packed sample, both from a Linux build tree of this source.
set(DEMO_HOST_BUILD ${CMAKE_SOURCE_DIR}/build CACHE PATH "Linux build tree with demotool and the packed sample")
find_program(DEMO_XVFB Xvfb)
find_program(DEMO_XDOTOOL xdotool)
find_program(DEMO_IMPORT import)
find_program(DEMO_COMPARE compare)
find_program(DEMO_XDPYINFO xdpyinfo)
if(DEMO_TESTS AND DEMO_WINE AND DEMO_XVFB AND DEMO_XDOTOOL AND DEMO_IMPORT AND DEMO_COMPARE AND DEMO_XDPYINFO
   AND EXISTS ${DEMO_HOST_BUILD}/demotool)
  # Reads a message box's text as another program on the desktop would.
  add_executable(box_text tests/e2e/win32/box_text.cpp)
  add_test(NAME win32.e2e
           COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/win32/run_e2e.sh $<TARGET_FILE:demoplayer>
                   ${DEMO_HOST_BUILD}/demotool ${DEMO_HOST_BUILD}/sample $<TARGET_FILE:box_text>
                   ${CMAKE_BINARY_DIR}/e2e-shots)
  set_tests_properties(win32.e2e PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE)
elseif(DEMO_TESTS)
  message(STATUS "Windows end-to-end suite not registered: needs wine, Xvfb, xdotool, ImageMagick, xdpyinfo "
                 "and demotool in ${DEMO_HOST_BUILD}")
endif()

# demorecord: the recorder, on the same rules as demotool record; its PNGs go
# through zlib, the one image library built for Windows here.
find_library(DEMO_MINGW_ZLIB NAMES libz.a z)
find_path(DEMO_MINGW_ZLIB_INCLUDE zlib.h)
if(DEMO_MINGW_ZLIB AND DEMO_MINGW_ZLIB_INCLUDE)
  add_executable(demorecord src/tool/win32/record_win32.cpp src/tool/win32/png_zlib.cpp src/tool/recording.cpp
                            src/tool/hotspot.cpp src/tool/record_output.cpp)
  target_include_directories(demorecord PRIVATE src ${DEMO_MINGW_ZLIB_INCLUDE})
  target_compile_definitions(demorecord PRIVATE _WIN32_WINNT=0x0601)
  target_link_libraries(demorecord PRIVATE ${DEMO_MINGW_ZLIB} user32 gdi32)
else()
  message(STATUS "zlib for mingw-w64 not found (libz-mingw-w64-dev): demorecord is not built")
endif()
if(TARGET demorecord AND DEMO_TESTS AND DEMO_WINE AND DEMO_XVFB AND DEMO_XDOTOOL AND EXISTS ${DEMO_HOST_BUILD}/demotool)
  # Recording Wine's Notepad for real; the host demotool packs and replays the result.
  add_test(NAME win32.record
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/win32/record.sh $<TARGET_FILE:demorecord>
                   ${DEMO_HOST_BUILD}/demotool)
  set_tests_properties(win32.record PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
endif()
