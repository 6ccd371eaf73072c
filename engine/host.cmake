# The frame drawing, shared by every host, and the engine programs:
# Sorvane.dll (Win32 + WGL) and sorvane-engine (Xlib + GLX), with their tests.
set(SORVANE_ENGINE_DIR ${CMAKE_CURRENT_LIST_DIR})

if(NOT TARGET sorvane_scene)
  message(STATUS "engine/host.cmake: sorvane_scene not defined yet; frame and hosts skipped")
  return()
endif()

add_library(sorvane_render STATIC ${SORVANE_ENGINE_DIR}/render.cpp
  ${SORVANE_ENGINE_DIR}/host.cpp ${SORVANE_ENGINE_DIR}/display_layout.cpp)
target_include_directories(sorvane_render PUBLIC ${SORVANE_ENGINE_DIR})
target_link_libraries(sorvane_render PUBLIC sorvane_scene)

# The host pieces both platforms share: frame pacing, monitor layout.
sorvane_add_gtest(host_test
  SOURCES ${SORVANE_ENGINE_DIR}/tests/host/host_test.cpp
  LIBS sorvane_render
  LABELS engine)

if(SORVANE_WINDOWS)
  target_link_libraries(sorvane_render PUBLIC glu32 opengl32)

  # An executable despite its name: the saver starts it as a process.
  enable_language(RC)
  add_executable(sorvane_engine WIN32
    ${SORVANE_ENGINE_DIR}/host_win32.cpp
    ${SORVANE_ENGINE_DIR}/cover_windows_win32.cpp
    ${SORVANE_ENGINE_DIR}/displays_win32.cpp
    ${SORVANE_ENGINE_DIR}/swap_control_win32.cpp
    ${SORVANE_ENGINE_DIR}/engine.rc)
  set_target_properties(sorvane_engine PROPERTIES OUTPUT_NAME Sorvane SUFFIX ".dll")
  sorvane_program_resources(sorvane_engine Sorvane.dll "Sorvane animation engine" true)
  target_link_libraries(sorvane_engine PRIVATE sorvane_render gdi32 user32 winmm)

  # Plays the operating system: starts Sorvane.dll, finds, closes and
  # photographs its window. Runs under Wine.
  sorvane_add_gtest(engine_win32_test
    SOURCES ${SORVANE_ENGINE_DIR}/tests/host/engine_win32_test.cpp
            ${SORVANE_ENGINE_DIR}/swap_control_win32.cpp
    LIBS sorvane_render user32 gdi32 opengl32
    LABELS engine)
  target_include_directories(engine_win32_test PRIVATE ${SORVANE_ENGINE_DIR})
  add_dependencies(engine_win32_test sorvane_engine)
else()
  set(OpenGL_GL_PREFERENCE GLVND)
  find_package(OpenGL REQUIRED COMPONENTS OpenGL GLX)
  find_package(X11 REQUIRED COMPONENTS Xrandr)
  target_link_libraries(sorvane_render PUBLIC OpenGL::GLU OpenGL::GL)

  # The command line and extension checks, apart from Xlib so tests can
  # reach them directly.
  add_library(sorvane_x11_options STATIC ${SORVANE_ENGINE_DIR}/x11/options.cpp)
  target_include_directories(sorvane_x11_options PUBLIC ${SORVANE_ENGINE_DIR})

  # Standalone saver and xscreensaver hack in one program; installed as
  # libexec/xscreensaver/sorvane (cmake/package.cmake).
  add_executable(sorvane_engine ${SORVANE_ENGINE_DIR}/host_x11.cpp
    ${SORVANE_ENGINE_DIR}/x11/window_x11.cpp ${SORVANE_ENGINE_DIR}/x11/events_x11.cpp
    ${SORVANE_ENGINE_DIR}/x11/glx_x11.cpp ${SORVANE_ENGINE_DIR}/x11/displays_x11.cpp)
  set_target_properties(sorvane_engine PROPERTIES OUTPUT_NAME sorvane-engine)
  target_link_libraries(sorvane_engine PRIVATE sorvane_render sorvane_x11_options OpenGL::GLX X11::X11 X11::Xrandr)

  # Records the swap-interval requests of the engine it is preloaded into,
  # and can hide the extensions, to see that the engine asks and copes.
  add_library(glx_swap_probe MODULE ${SORVANE_ENGINE_DIR}/tests/host/glx_swap_probe.cpp)
  target_link_libraries(glx_swap_probe PRIVATE ${CMAKE_DL_LIBS})

  # Drives sorvane-engine on an X display (its own Xvfb when there is none);
  # the two-monitor case starts an X.Org server of its own when run as root.
  # The cases share one screen and its keyboard focus: one at a time.
  add_executable(engine_x11_test ${SORVANE_ENGINE_DIR}/tests/host/engine_x11_test.cpp)
  target_link_libraries(engine_x11_test PRIVATE sorvane_x11_options OpenGL::GLX X11::X11 X11::Xfixes
    GTest::gmock GTest::gtest_main)
  target_compile_definitions(engine_x11_test PRIVATE
    SORVANE_ENGINE_PATH="$<TARGET_FILE:sorvane_engine>"
    SORVANE_SWAP_PROBE="$<TARGET_FILE:glx_swap_probe>"
    SORVANE_TWO_MONITORS="${CMAKE_SOURCE_DIR}/tools/two-monitors.sh")
  add_dependencies(engine_x11_test sorvane_engine glx_swap_probe)
  gtest_discover_tests(engine_x11_test
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT 300 LABELS engine RESOURCE_LOCK sorvane_x_display)

  # The installed hack under the real xscreensaver daemon, as a throwaway
  # user (root only: it adds that user; skipped otherwise).
  add_executable(xscreensaver_test ${SORVANE_ENGINE_DIR}/tests/host/xscreensaver_test.cpp)
  target_link_libraries(xscreensaver_test PRIVATE X11::X11 GTest::gtest_main)
  target_compile_definitions(xscreensaver_test PRIVATE
    SORVANE_CMAKE="${CMAKE_COMMAND}" SORVANE_BUILD_DIR="${CMAKE_BINARY_DIR}")
  add_dependencies(xscreensaver_test sorvane_engine)
  gtest_discover_tests(xscreensaver_test
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT 300 LABELS engine RESOURCE_LOCK sorvane_x_display)
endif()
