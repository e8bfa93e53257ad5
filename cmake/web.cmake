# The web player: the core on the web backend, compiled to WebAssembly with Debian's emscripten, and the page around it.
# Output: web/ in the build tree holds everything a site needs but the content and fonts
# (demotool web adds those): index.html, page.js, page.css, demoplayer.js, demoplayer.wasm.

# Bulk memory: memcpy and memset as single instructions, not a call out to
# JavaScript for every row copied (which cost a millisecond a frame).
# Thread-local storage would then need shared memory; the page's one thread
# runs every fibre and they switch only where a thread blocks, so the core's
# per-thread scratch buffers are plain statics here.
target_compile_options(demo_core PUBLIC -mbulk-memory)
target_compile_definitions(demo_core PUBLIC thread_local=)

set(WEB_SHARED_SOURCES surface.cpp icon_pixels.cpp message_system.cpp posix_files.cpp codepage.cpp clock.cpp)
list(TRANSFORM WEB_SHARED_SOURCES PREPEND src/platform/shared/)
file(GLOB WEB_SOURCES CONFIGURE_DEPENDS src/platform/web/*.cpp)
add_library(demo_web STATIC ${WEB_SOURCES} ${WEB_SHARED_SOURCES})
target_link_libraries(demo_web PUBLIC demo_core)
# Presenting compares and converts rows of pixels: sixteen bytes at a time.
target_compile_options(demo_web PRIVATE -msimd128)

# The backend's main runs the scheduler and starts the player's own main as a fibre.
add_executable(demoplayer src/app/player_main.cpp)
set_source_files_properties(src/app/player_main.cpp PROPERTIES COMPILE_DEFINITIONS main=DemoAppMain)
target_link_libraries(demoplayer PRIVATE demo_web)
set(WEB_EXPORTS _main _web_pointer _web_key _web_viewport _web_focus _web_restore _web_box_closed _web_window_size _web_window_close _web_set_screen _web_present_ms)
list(JOIN WEB_EXPORTS "," WEB_EXPORT_LIST)
target_link_options(demoplayer PRIVATE
  -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536
  -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=134217728
  -sFORCE_FILESYSTEM=1 -sENVIRONMENT=web
  -sEXPORTED_FUNCTIONS=${WEB_EXPORT_LIST}
  -sEXPORTED_RUNTIME_METHODS=FS,addRunDependency,removeRunDependency
  -sEXIT_RUNTIME=0)
set_target_properties(demoplayer PROPERTIES SUFFIX ".js" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/web)

file(GLOB WEB_PAGE_FILES CONFIGURE_DEPENDS src/platform/web/page/*)
# On every build, not only when the player links: the page changes on its own.
add_custom_target(web_page ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/web
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${WEB_PAGE_FILES} ${CMAKE_BINARY_DIR}/web/)
