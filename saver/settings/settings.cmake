# The settings store, our own profile files and the numbers read from and
# written as text. The launcher's small shared operations (FileExists and the
# rest) are built into the same library: the store checks the music file with
# FileExists, and the launcher's path rules come from the store's port.
set(_settings ${CMAKE_CURRENT_LIST_DIR})
set(_launcher ${CMAKE_CURRENT_LIST_DIR}/../launcher)
add_library(sorvane_settings STATIC
  ${_settings}/numbers.cpp
  ${_settings}/profile.cpp
  ${_settings}/settings_store.cpp
  ${_launcher}/utilities.cpp)
if(SORVANE_WINDOWS)
  target_sources(sorvane_settings PRIVATE ${_settings}/settings_win32.cpp
    ${_launcher}/utilities_win32.cpp ${_launcher}/text_win32.cpp)
  target_link_libraries(sorvane_settings PUBLIC user32 kernel32)
else()
  target_sources(sorvane_settings PRIVATE ${_settings}/settings_posix.cpp ${_launcher}/utilities_posix.cpp)
endif()
# "saver/settings/x.h", "settings/x.h" and "x.h" all work for users; so do the
# launcher's "utilities.h" forms.
target_include_directories(sorvane_settings PUBLIC
  ${_settings}/../.. ${_settings}/.. ${_settings} ${_launcher})

include(${_settings}/tests/tests.cmake)
