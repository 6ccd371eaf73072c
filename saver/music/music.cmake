# Background music (saver/music): the portable command sequences plus the winmm
# adapter on Windows, or the no-device platform elsewhere.
set(_music_dir ${CMAKE_CURRENT_LIST_DIR})

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
target_link_libraries(sorvane_music PUBLIC sorvane_settings)

include(${_music_dir}/tests/tests.cmake)
