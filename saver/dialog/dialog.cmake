# The settings dialog Sorvane_P: its portable model everywhere, its Win32 window
# (and ShowSettingsDialog) in the Windows builds.
set(_dlg ${CMAKE_CURRENT_LIST_DIR})

add_library(sorvane_dialog STATIC ${_dlg}/dialog_model.cpp)
target_include_directories(sorvane_dialog PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(sorvane_dialog PUBLIC sorvane_settings)
# The credits line shows the one version number of the build.
target_compile_definitions(sorvane_dialog PUBLIC SORVANE_VERSION_TEXT="${PROJECT_VERSION}")

sorvane_add_gtest(sorvane_dialog_tests
  SOURCES ${_dlg}/tests/dialog_model_test.cpp
  LIBS sorvane_dialog
  LABELS dialog)

if(SORVANE_WINDOWS)
  enable_language(RC)
  target_sources(sorvane_dialog PRIVATE
    ${_dlg}/dialog.cpp ${_dlg}/dialog_win32.cpp ${_dlg}/dialog_buttons_win32.cpp)
  target_link_libraries(sorvane_dialog PUBLIC sorvane_button_win user32 gdi32 comdlg32 shell32 ole32)
  # The icon and the option marks go into every program that links the dialog
  # (a resource object in a static library would be dropped by the linker).
  target_sources(sorvane_dialog INTERFACE ${PROJECT_SOURCE_DIR}/saver/resources/dialog_art.rc)
  target_include_directories(sorvane_dialog PUBLIC ${PROJECT_SOURCE_DIR}/saver/resources)

  # Both open real windows on the one display Wine tests share: one at a time.
  add_executable(sorvane_dialog_win_tests ${_dlg}/tests/dialog_win32_test.cpp)
  target_link_libraries(sorvane_dialog_win_tests PRIVATE sorvane_dialog GTest::gmock GTest::gtest_main)
  set(_dlg_serial_tests sorvane_dialog_win_tests)

  add_executable(sorvane_dialog_e2e ${_dlg}/tests/e2e/dialog_e2e_test.cpp)
  target_link_libraries(sorvane_dialog_e2e PRIVATE
    sorvane_dialog sorvane_os_driver GTest::gmock GTest::gtest_main)
  add_dependencies(sorvane_dialog_e2e sorvane_scr)
  list(APPEND _dlg_serial_tests sorvane_dialog_e2e)

  if(SORVANE_RUN_TESTS)
    foreach(t ${_dlg_serial_tests})
      gtest_discover_tests(${t}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE LABELS "dialog;e2e")
    endforeach()
  endif()
endif()
