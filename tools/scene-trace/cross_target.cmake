# Runs the same step sequences through the native scene-trace and through the
# win64 scene-trace.exe under Wine, and requires byte-identical output.
#   cmake -DNATIVE=... -DWINDOWS_EXE=... -DWINE_RUN=... -DWORK_DIR=... -P cross_target.cmake
# The same works for any other build with its runner (-DLABEL names it in the
# messages): WINE_RUN=qemu-i386 with a 32-bit x86 Linux build, for instance.
foreach(v NATIVE WINDOWS_EXE WINE_RUN WORK_DIR)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "cross_target.cmake: ${v} not given")
  endif()
endforeach()
if(NOT EXISTS "${WINDOWS_EXE}")
  message(FATAL_ERROR
    "The win64 scene-trace is missing: ${WINDOWS_EXE}\n"
    "Build the win64 preset first (cmake --preset win64 && cmake --build --preset win64), "
    "or configure this tree with -DSORVANE_TRACE_WIN64_DIR=<a win64 build tree>.")
endif()
if(NOT DEFINED LABEL)
  set(LABEL win64)
endif()
file(MAKE_DIRECTORY "${WORK_DIR}")

# A repeatable pseudo-random stream for frame times.
set(seed 12345)
macro(next_random out)
  math(EXPR seed "(${seed} * 1103515245 + 12345) % 2147483648")
  math(EXPR ${out} "(${seed} / 65536) % 32768")
endmacro()

# 1. A long first step that fills the pool, then display-rate steps with
#    jitter: steady state with removal every frame and NaN alphas in the pool.
set(display 2.5)
foreach(i RANGE 1 600)
  next_random(r)
  math(EXPR jitter "${r} % 4000")
  string(LENGTH "${jitter}" len)
  if(len EQUAL 1)
    set(jitter "000${jitter}")
  elseif(len EQUAL 2)
    set(jitter "00${jitter}")
  elseif(len EQUAL 3)
    set(jitter "0${jitter}")
  endif()
  list(APPEND display "0.01${jitter}7")   # 0.0100007 .. 0.0139997
endforeach()

# 2. Odd values: tiny, zero, negative, exponents, many digits, halfway texts,
#    long gaps that make whole generations die and a backlog burst.
set(odd 0.0009765625 1e-7 0 0.333333333333333333333333 1.00000005960464477539062500001
  7 -0.001 123.456e-3 2.5E+0 0.0166667 0.25 0.0000001192092895507812 3.999 1e-45 0.5
  .75 5. 0.016 0.017 0.016 0.017 0.05 1.5 0.0001 0.0001 0.0001)
foreach(i RANGE 1 200)
  next_random(r)
  math(EXPR ms "${r} % 40")
  list(APPEND odd "0.0${ms}1")
endforeach()

# 3. Through the clock fold: two-second steps until emitClock passes 8192 s
#    twice, then display rate again.
set(longrun)
foreach(i RANGE 1 8300)
  list(APPEND longrun 2)
endforeach()
foreach(i RANGE 1 120)
  list(APPEND longrun 0.0166667)
endforeach()

# 4. Gaps: a frame of an hour, one of 20 s, runs of 2 s and 0.34 s frames and
#    a month, each followed by display rate (the long-frame path).
set(gaps)
foreach(part "0.0166667;600" "3600;1" "0.0166667;180" "20;1" "2;40" "0.0166667;180" "0.34;100"
    "2.6e6;1" "0.0166667;180")
  list(GET part 0 step)
  list(GET part 1 times)
  foreach(i RANGE 1 ${times})
    list(APPEND gaps ${step})
  endforeach()
endforeach()

set(failures "")
foreach(name display odd longrun gaps)
  set(native_out "${WORK_DIR}/${name}.native.txt")
  set(windows_out "${WORK_DIR}/${name}.${LABEL}.txt")
  execute_process(COMMAND "${NATIVE}" --puffs ${${name}}
    OUTPUT_FILE "${native_out}" ERROR_VARIABLE native_err RESULT_VARIABLE native_rc)
  if(NOT native_rc EQUAL 0)
    message(FATAL_ERROR "${name}: native scene-trace failed (${native_rc}): ${native_err}")
  endif()
  execute_process(COMMAND "${WINE_RUN}" "${WINDOWS_EXE}" --puffs ${${name}}
    OUTPUT_FILE "${windows_out}" ERROR_VARIABLE windows_err RESULT_VARIABLE windows_rc)
  if(NOT windows_rc EQUAL 0)
    message(FATAL_ERROR "${name}: the ${LABEL} scene-trace failed (${windows_rc}): ${windows_err}")
  endif()
  file(SIZE "${native_out}" native_size)
  file(READ "${native_out}" native_text)
  string(REGEX MATCHALL "\nnode " nodes "${native_text}")
  list(LENGTH nodes node_lines)
  if(native_size LESS 1000 OR NOT node_lines EQUAL 256)
    message(FATAL_ERROR "${name}: native trace is incomplete (${native_size} bytes)")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${native_out}" "${windows_out}"
    RESULT_VARIABLE differ)
  if(differ)
    # Name the first line that differs.
    file(STRINGS "${native_out}" a)
    file(STRINGS "${windows_out}" b)
    list(LENGTH a na)
    list(LENGTH b nb)
    set(at "end of the shorter file (${na} vs ${nb} lines)")
    math(EXPR last "${na} - 1")
    foreach(k RANGE 0 ${last})
      if(k GREATER_EQUAL nb)
        break()
      endif()
      list(GET a ${k} la)
      list(GET b ${k} lb)
      if(NOT la STREQUAL lb)
        math(EXPR line "${k} + 1")
        set(at "line ${line}:\n  native: ${la}\n  ${LABEL}:  ${lb}")
        break()
      endif()
    endforeach()
    string(APPEND failures "${name}: outputs differ at ${at}\n")
  else()
    string(REGEX MATCHALL " nan" nans "${native_text}")
    list(LENGTH nans nan_count)
    message(STATUS "${name}: ${native_size} bytes identical (${nan_count} NaN fields)")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
