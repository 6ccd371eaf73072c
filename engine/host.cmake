# The frame drawing, shared by every host, and the engine programs:
# Sorvane.dll (Win32 + WGL) and sorvane-engine (Xlib + GLX), with their tests.
set(SORVANE_ENGINE_DIR ${CMAKE_CURRENT_LIST_DIR})

if(NOT TARGET sorvane_scene)
  message(STATUS "engine/host.cmake: sorvane_scene not defined yet; frame and hosts skipped")
  return()
endif()

add_library(sorvane_render STATIC ${SORVANE_ENGINE_DIR}/render.cpp)
target_include_directories(sorvane_render PUBLIC ${SORVANE_ENGINE_DIR})
target_link_libraries(sorvane_render PUBLIC sorvane_scene)

if(SORVANE_WINDOWS)
  target_link_libraries(sorvane_render PUBLIC glu32 opengl32)

  # An executable despite its name: the saver starts it as a process.
  enable_language(RC)
  add_executable(sorvane_engine WIN32 ${SORVANE_ENGINE_DIR}/host_win32.cpp ${SORVANE_ENGINE_DIR}/engine.rc)
  set_target_properties(sorvane_engine PROPERTIES OUTPUT_NAME Sorvane SUFFIX ".dll")
  sorvane_program_resources(sorvane_engine Sorvane.dll "Sorvane animation engine" true)
  target_link_libraries(sorvane_engine PRIVATE sorvane_render gdi32 user32)

  # Plays the operating system: starts Sorvane.dll, finds, closes and
  # photographs its window. Runs under Wine.
  sorvane_add_gtest(engine_win32_test
    SOURCES ${SORVANE_ENGINE_DIR}/tests/host/engine_win32_test.cpp
    LIBS user32 gdi32
    LABELS engine)
  add_dependencies(engine_win32_test sorvane_engine)
else()
  set(OpenGL_GL_PREFERENCE GLVND)
  find_package(OpenGL REQUIRED COMPONENTS OpenGL GLX)
  find_package(X11 REQUIRED)
  target_link_libraries(sorvane_render PUBLIC OpenGL::GLU OpenGL::GL)

  add_executable(sorvane_engine ${SORVANE_ENGINE_DIR}/host_x11.cpp)
  set_target_properties(sorvane_engine PROPERTIES OUTPUT_NAME sorvane-engine)
  target_link_libraries(sorvane_engine PRIVATE sorvane_render OpenGL::GLX X11::X11)

  # Drives sorvane-engine on an X display (its own Xvfb when there is none).
  # The cases share one screen and its keyboard focus: one at a time.
  add_executable(engine_x11_test ${SORVANE_ENGINE_DIR}/tests/host/engine_x11_test.cpp)
  target_link_libraries(engine_x11_test PRIVATE X11::X11 X11::Xfixes GTest::gmock GTest::gtest_main)
  target_compile_definitions(engine_x11_test PRIVATE
    SORVANE_ENGINE_PATH="$<TARGET_FILE:sorvane_engine>")
  add_dependencies(engine_x11_test sorvane_engine)
  gtest_discover_tests(engine_x11_test
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT 300 LABELS engine RESOURCE_LOCK sorvane_x_display)
endif()
