# Tests of the music module: the command sequences against a recording fake
# everywhere, and the real winmm under Wine for the win64 build. The settings
# variables come from the settings store, which sorvane_music links.
set(_music_tests ${CMAKE_CURRENT_LIST_DIR})

sorvane_add_gtest(bgm_test
  SOURCES ${_music_tests}/bgm_test.cpp ${_music_tests}/recording_bgm_platform.h
  LIBS sorvane_music
  LABELS music)

if(SORVANE_WINDOWS)
  include(${_music_tests}/winmm_tests.cmake)
endif()
