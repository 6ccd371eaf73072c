# Background music (saver/music): the portable command sequences plus the winmm
# adapter on Windows, or the no-device platform elsewhere.
set(_music_dir ${CMAKE_CURRENT_LIST_DIR})

# What keeps the music going, shared with the engine's GStreamer player.
add_library(sorvane_music_loop STATIC ${_music_dir}/bgm_loop.cpp ${_music_dir}/bgm_loop.h)
target_include_directories(sorvane_music_loop PUBLIC ${_music_dir})

add_library(sorvane_music STATIC
  ${_music_dir}/bgm.cpp
  ${_music_dir}/bgm.h
  ${_music_dir}/bgm_platform.h)
if(SORVANE_WINDOWS)
  target_sources(sorvane_music PRIVATE ${_music_dir}/bgm_win32.cpp)
  target_link_libraries(sorvane_music PUBLIC winmm)
else()
  target_sources(sorvane_music PRIVATE ${_music_dir}/bgm_null.cpp)
endif()
# Users include "bgm.h", "music/bgm.h" or "saver/music/bgm.h".
target_include_directories(sorvane_music PUBLIC ${_music_dir} ${_music_dir}/.. ${_music_dir}/../..)
# BgmKind, BgmRepeat and BgmFile live in the settings store.
target_link_libraries(sorvane_music PUBLIC sorvane_settings sorvane_music_loop)

include(${_music_dir}/tests/tests.cmake)
