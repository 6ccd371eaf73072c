# The custom button control: the portable state machine and face painting
# (sorvane_button) and, on Windows, its child-window class (sorvane_button_win).
set(SORVANE_BUTTON_DIR ${CMAKE_CURRENT_LIST_DIR})
get_filename_component(SORVANE_RESOURCES_DIR ${CMAKE_CURRENT_LIST_DIR}/../resources ABSOLUTE)
get_filename_component(_button_saver_dir ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

add_library(sorvane_button STATIC
  ${SORVANE_BUTTON_DIR}/face.cpp
  ${SORVANE_BUTTON_DIR}/command.cpp)
target_include_directories(sorvane_button PUBLIC ${SORVANE_BUTTON_DIR} ${_button_saver_dir})

if(SORVANE_WINDOWS)
  add_library(sorvane_button_win STATIC
    ${SORVANE_BUTTON_DIR}/command_window.cpp)
  target_link_libraries(sorvane_button_win PUBLIC sorvane_button user32 gdi32 msimg32)
  # The face pictures go into every program that links the control. A resource
  # object in a static library would be dropped by the linker (it defines no
  # symbol), so the script is compiled into each linking program instead.
  target_sources(sorvane_button_win INTERFACE ${SORVANE_BUTTON_DIR}/button.rc)
  target_include_directories(sorvane_button_win PUBLIC ${SORVANE_RESOURCES_DIR})
endif()

set(_button_test_libs sorvane_button)
if(SORVANE_WINDOWS)
  set(_button_test_libs sorvane_button_win)
endif()
sorvane_add_gtest(button_test
  SOURCES ${SORVANE_BUTTON_DIR}/command_test.cpp ${SORVANE_BUTTON_DIR}/face_test.cpp
  LIBS ${_button_test_libs})
target_compile_definitions(button_test PRIVATE SORVANE_RESOURCES_DIR="${SORVANE_RESOURCES_DIR}")

if(SORVANE_WINDOWS)
  sorvane_add_gtest(button_win_test
    SOURCES ${SORVANE_BUTTON_DIR}/command_window_test.cpp
    LIBS sorvane_button_win
    LABELS wine)
endif()
