# The version number lives in project() of the top CMakeLists.txt. Here it
# becomes a header for the resource scripts, and each Windows program gets
# an application manifest generated from one template.
set(SORVANE_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/sorvane_version.h.in
  ${SORVANE_GENERATED_DIR}/sorvane_version.h @ONLY)

# sorvane_program_resources(target ORIGINAL_NAME DESCRIPTION DPI_AWARE)
# Writes <ORIGINAL_NAME>.manifest and lets the target's resource script
# include the version header, the shared version block and the manifest.
function(sorvane_program_resources target original_name description dpi_aware)
  set(SORVANE_MANIFEST_NAME ${original_name})
  set(SORVANE_MANIFEST_DESCRIPTION ${description})
  set(SORVANE_MANIFEST_DPI_AWARE ${dpi_aware})
  configure_file(${CMAKE_SOURCE_DIR}/cmake/program.manifest.in
    ${SORVANE_GENERATED_DIR}/${original_name}.manifest @ONLY)
  target_include_directories(${target} PRIVATE ${SORVANE_GENERATED_DIR} ${CMAKE_SOURCE_DIR}/cmake)
endfunction()
