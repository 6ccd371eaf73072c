# The scene (portable, no GL): the static library every engine host links,
# plus its tests and (native only) its benchmark.
add_library(sorvane_scene STATIC
  ${CMAKE_CURRENT_LIST_DIR}/scene.cpp
  ${CMAKE_CURRENT_LIST_DIR}/detmath.cpp)
target_include_directories(sorvane_scene PUBLIC ${CMAKE_CURRENT_LIST_DIR})

add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/tests/scene ${CMAKE_CURRENT_BINARY_DIR}/tests/scene)
if(NOT SORVANE_WINDOWS)
  add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/bench ${CMAKE_CURRENT_BINARY_DIR}/bench)
endif()
