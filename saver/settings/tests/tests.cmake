# Tests of the settings store, the launcher utilities, the numbers-as-text
# rules and our own profile files. On win64 they run under Wine (code page 932),
# where the settings store goes through kernel32's profile functions.
set(_st ${CMAKE_CURRENT_LIST_DIR})
sorvane_add_gtest(sorvane_settings_tests
  SOURCES ${_st}/numbers_test.cpp ${_st}/profile_test.cpp ${_st}/settings_store_test.cpp
          ${_st}/../../launcher/tests/utilities_test.cpp
  LIBS sorvane_settings
  LABELS settings)
target_include_directories(sorvane_settings_tests PRIVATE ${_st})
if(SORVANE_WINDOWS)
  target_sources(sorvane_settings_tests PRIVATE ${_st}/../../launcher/tests/text_win32_test.cpp)
  # The same reads and writes through Wine's kernel32 and through our own
  # profile files, which must agree.
  sorvane_add_gtest(sorvane_profile_differential_tests
    SOURCES ${_st}/profile_differential_test.cpp
    LIBS sorvane_settings
    LABELS settings)
  target_include_directories(sorvane_profile_differential_tests PRIVATE ${_st})
endif()
