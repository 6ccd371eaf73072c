# GoogleTest for every preset: the system package natively, Debian's sources
# cross-built for the mingw presets.
if(CMAKE_CROSSCOMPILING)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Debian's sources trip a few warnings under mingw; they are not ours to fix.
  foreach(t gtest gtest_main gmock gmock_main)
    if(TARGET ${t})
      target_compile_options(${t} PRIVATE -w)
    endif()
  endforeach()
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
    add_library(GTest::gmock ALIAS gmock)
    add_library(GTest::gmock_main ALIAS gmock_main)
  endif()
else()
  find_package(GTest REQUIRED)
  if(NOT TARGET GTest::gmock)
    find_library(GMOCK_LIB gmock REQUIRED)
    find_library(GMOCK_MAIN_LIB gmock_main REQUIRED)
    add_library(GTest::gmock UNKNOWN IMPORTED)
    set_target_properties(GTest::gmock PROPERTIES IMPORTED_LOCATION ${GMOCK_LIB}
      INTERFACE_LINK_LIBRARIES GTest::gtest)
    add_library(GTest::gmock_main UNKNOWN IMPORTED)
    set_target_properties(GTest::gmock_main PROPERTIES IMPORTED_LOCATION ${GMOCK_MAIN_LIB}
      INTERFACE_LINK_LIBRARIES GTest::gmock)
  endif()
endif()
include(GoogleTest)

# sorvane_add_gtest(name SOURCES ... LIBS ... [LABELS ...] [TIMEOUT s] [RUN_SERIAL]
#                   [RESOURCE_LOCK ...] [ENVIRONMENT ...] [EMULATOR_ENV ...] [TEST_PREFIX p]
#                   [TEST_FILTER f])
# A GoogleTest program whose cases become CTest tests (300 s each unless
# TIMEOUT says otherwise). Under the mingw presets they run through the
# emulator (Wine); on win32 they are built but not run. EMULATOR_ENV sets
# variables for the emulator itself (the Wine locale and prefix), which must
# be known before the tests are discovered.
function(sorvane_add_gtest name)
  cmake_parse_arguments(A "RUN_SERIAL" "TIMEOUT;TEST_PREFIX;TEST_FILTER"
    "SOURCES;LIBS;LABELS;RESOURCE_LOCK;ENVIRONMENT;EMULATOR_ENV" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gmock GTest::gtest_main)
  get_target_property(emulator ${name} CROSSCOMPILING_EMULATOR)
  if(emulator AND A_EMULATOR_ENV)
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "/usr/bin/env;${A_EMULATOR_ENV};${emulator}")
  endif()
  if(NOT SORVANE_RUN_TESTS)
    return()
  endif()
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  set(props TIMEOUT ${A_TIMEOUT})
  if(A_RUN_SERIAL)
    list(APPEND props RUN_SERIAL TRUE)
  endif()
  foreach(p LABELS RESOURCE_LOCK ENVIRONMENT)
    if(A_${p})
      list(APPEND props ${p} "${A_${p}}")
    endif()
  endforeach()
  set(discover)
  if(DEFINED A_TEST_PREFIX)
    list(APPEND discover TEST_PREFIX "${A_TEST_PREFIX}")
  endif()
  if(DEFINED A_TEST_FILTER)
    list(APPEND discover TEST_FILTER "${A_TEST_FILTER}")
  endif()
  gtest_discover_tests(${name} ${discover}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ${props})
endfunction()
