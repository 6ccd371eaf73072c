# The launcher's settings store, its small shared operations and the numbers
# read from and written as text. Included from saver/CMakeLists.txt.
set(_launcher ${CMAKE_CURRENT_LIST_DIR})
add_library(sorvane_settings STATIC
  ${_launcher}/numbers.cpp
  ${_launcher}/profile.cpp
  ${_launcher}/utilities.cpp
  ${_launcher}/settings_store.cpp)
if(SORVANE_WINDOWS)
  target_sources(sorvane_settings PRIVATE ${_launcher}/utilities_win32.cpp ${_launcher}/settings_win32.cpp)
  target_link_libraries(sorvane_settings PUBLIC user32 kernel32)
else()
  target_sources(sorvane_settings PRIVATE ${_launcher}/utilities_posix.cpp ${_launcher}/settings_posix.cpp)
endif()
# "saver/launcher/x.h", "launcher/x.h" and "x.h" all work for users.
target_include_directories(sorvane_settings PUBLIC ${_launcher}/../.. ${_launcher}/.. ${_launcher})

if(EXISTS ${_launcher}/tests/settings/tests.cmake)
  include(${_launcher}/tests/settings/tests.cmake)
endif()
