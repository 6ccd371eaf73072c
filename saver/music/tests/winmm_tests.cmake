# The music module through the real winmm, run under Wine. Wine gets one wave
# device from an ALSA configuration that writes the played PCM into a file:
# the tests read that file to hear what was played. The configuration lives in
# a directory passed to the Wine process as HOME.
set(_music_media ${CMAKE_BINARY_DIR}/music-test)
set(_music_home ${_music_media}/home)
set(_music_pcm ${_music_media}/pcm-out.raw)
file(MAKE_DIRECTORY ${_music_home} "${_music_media}/with spaces")
file(WRITE ${_music_home}/.asoundrc
  "pcm.!default { type file; slave.pcm \"null\"; file \"${_music_pcm}\"; format \"raw\" }\n")
file(WRITE ${_music_media}/broken.mp3 "This text is no MPEG audio stream.\n")

add_executable(bgm_winmm_test ${_music_tests}/bgm_winmm_test.cpp)
target_link_libraries(bgm_winmm_test PRIVATE sorvane_music GTest::gtest_main)
target_compile_definitions(bgm_winmm_test PRIVATE
  "SORVANE_MUSIC_MEDIA=\"${_music_media}\"" "SORVANE_MUSIC_PCM=\"${_music_pcm}\"")

if(SORVANE_RUN_TESTS)
  # Test sounds, made at build time: a short WAV tone and a one-second MP3.
  find_program(SORVANE_SOX sox)
  find_program(SORVANE_LAME lame)
  if(SORVANE_SOX AND SORVANE_LAME)
    add_custom_command(
      OUTPUT ${_music_media}/tone.wav ${_music_media}/tone.mp3 "${_music_media}/with spaces/tone copy.mp3"
      COMMAND ${SORVANE_SOX} -n -r 44100 -c 2 -b 16 ${_music_media}/tone.wav synth 0.5 sine 440 vol 0.5
      COMMAND ${SORVANE_SOX} -n -r 44100 -c 2 -b 16 ${_music_media}/mp3-source.wav synth 1.0 sine 660 vol 0.5
      COMMAND ${SORVANE_LAME} --quiet ${_music_media}/mp3-source.wav ${_music_media}/tone.mp3
      COMMAND ${CMAKE_COMMAND} -E copy ${_music_media}/tone.mp3 "${_music_media}/with spaces/tone copy.mp3"
      VERBATIM)
    add_custom_target(bgm_test_media DEPENDS ${_music_media}/tone.wav ${_music_media}/tone.mp3
      "${_music_media}/with spaces/tone copy.mp3")
    add_dependencies(bgm_winmm_test bgm_test_media)
  else()
    message(WARNING "sox or lame missing: bgm_winmm_test will find no test sounds")
  endif()

  # One case at a time touches the PCM file, whatever ctest -j says.
  gtest_discover_tests(bgm_winmm_test
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT 120 LABELS music RESOURCE_LOCK sorvane_music_pcm
               ENVIRONMENT "HOME=${_music_home}")
endif()
