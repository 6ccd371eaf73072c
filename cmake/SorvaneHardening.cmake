# The hardening Debian builds its packages with (dpkg-buildflags), for every
# native program: stack protection and read-only relocations bound at
# start-up. Fortified string and stdio calls go to the shipped program and the
# libraries of ours it links (sorvane_fortify, called from package.cmake):
# elsewhere they would only turn the tests' unchecked calls into warnings.
if(WIN32)
  return()
endif()
add_compile_options(-fstack-protector-strong -fstack-clash-protection -fcf-protection
  -Wformat -Werror=format-security)
add_link_options(-Wl,-z,relro,-z,now)

# Fortification needs the optimiser, so a Debug build goes without it.
function(sorvane_fortify target)
  get_target_property(_done ${target} SORVANE_FORTIFIED)
  if(_done)
    return()
  endif()
  set_property(TARGET ${target} PROPERTY SORVANE_FORTIFIED ON)
  target_compile_options(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
  get_target_property(_libs ${target} LINK_LIBRARIES)
  foreach(_lib IN LISTS _libs)
    if(TARGET ${_lib})
      get_target_property(_type ${_lib} TYPE)
      get_target_property(_imported ${_lib} IMPORTED)
      if(_type STREQUAL "STATIC_LIBRARY" AND NOT _imported)
        sorvane_fortify(${_lib})
      endif()
    endif()
  endforeach()
endfunction()
