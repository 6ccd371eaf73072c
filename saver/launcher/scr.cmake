# Sorvane.scr: start-up and mode dispatch, the saver run and the preview, on a
# thin forms layer over Win32. The decisions live in a portable core that the
# unit tests drive through recording ports on every preset.
set(_scr_dir ${CMAKE_CURRENT_LIST_DIR})

add_library(sorvane_launcher_core STATIC
  ${_scr_dir}/main.cpp
  ${_scr_dir}/main_text.cpp
  ${_scr_dir}/saver_run.cpp
  ${_scr_dir}/preview.cpp)
target_include_directories(sorvane_launcher_core PUBLIC ${CMAKE_SOURCE_DIR})
# The lenient handle reading lives with the settings' number rules.
target_link_libraries(sorvane_launcher_core PUBLIC sorvane_settings)

sorvane_add_gtest(saver_startup_tests
  SOURCES
    ${_scr_dir}/tests/startup/startup_test.cpp
    ${_scr_dir}/tests/startup/saver_run_test.cpp
    ${_scr_dir}/tests/startup/preview_test.cpp
  LIBS sorvane_launcher_core
  LABELS launcher)

if(SORVANE_WINDOWS)
  enable_language(RC)
  add_executable(sorvane_scr WIN32
    ${_scr_dir}/forms_win32.cpp
    ${_scr_dir}/main_win32.cpp
    ${_scr_dir}/saver_run_win32.cpp
    ${_scr_dir}/preview_win32.cpp
    ${_scr_dir}/scr.rc)
  set_target_properties(sorvane_scr PROPERTIES OUTPUT_NAME Sorvane SUFFIX .scr)
  target_link_libraries(sorvane_scr PRIVATE
    sorvane_launcher_core sorvane_settings sorvane_music user32 gdi32 winmm)
  # The resource script names the still relative to the resources folder.
  set_property(SOURCE ${_scr_dir}/scr.rc APPEND PROPERTY OBJECT_DEPENDS
    ${CMAKE_SOURCE_DIR}/saver/resources/preview_still.bmp)
  target_include_directories(sorvane_scr PRIVATE ${CMAKE_SOURCE_DIR}/saver/resources)
  sorvane_program_resources(sorvane_scr Sorvane.scr "Sorvane screen saver" false)
  if(SORVANE_TEST_HOOKS)
    target_compile_definitions(sorvane_scr PRIVATE SORVANE_TEST_HOOKS)
  endif()

  # The settings dialog is defined after this file (dialog.cmake).
  function(_sorvane_scr_attach_dialog)
    target_link_libraries(sorvane_scr PRIVATE sorvane_dialog)
  endfunction()
  cmake_language(DEFER CALL _sorvane_scr_attach_dialog)

  add_subdirectory(${CMAKE_SOURCE_DIR}/tests/e2e ${CMAKE_BINARY_DIR}/tests/e2e)
endif()
