# Installs the build into a fresh prefix, then builds and runs a small C
# consumer four times: through find_package(qorvex) and through pkg-config,
# each with the shared and with the static library. The static programs run
# without LD_LIBRARY_PATH: they must need no libqorvex.so.
file(REMOVE_RECURSE ${WORK_DIR})
set(_prefix ${WORK_DIR}/prefix)

macro(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _err)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "command failed (${_rc}): ${ARGN}\n${_out}\n${_err}")
  endif()
endmacro()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${_prefix})

# find_package
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer -B ${WORK_DIR}/cmake-consumer -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${_prefix} -DCMAKE_C_COMPILER=${C_COMPILER})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-consumer)
run(${WORK_DIR}/cmake-consumer/consumer)
message(STATUS "find_package consumer: ${_out}")

# pkg-config
find_program(PKG_CONFIG pkg-config REQUIRED)
file(GLOB_RECURSE _pc ${_prefix}/*/qorvex.pc)
list(GET _pc 0 _pc_file)
get_filename_component(_pc_dir ${_pc_file} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${_pc_dir})
run(${PKG_CONFIG} --cflags --libs qorvex)
string(STRIP "${_out}" _flags)
separate_arguments(_flags UNIX_COMMAND "${_flags}")
run(${C_COMPILER} -std=c99 ${SOURCE_DIR}/consumer/main.c ${_flags} -o ${WORK_DIR}/pc-consumer)
set(ENV{LD_LIBRARY_PATH} ${_pc_dir}/..)
run(${WORK_DIR}/pc-consumer)
message(STATUS "pkg-config consumer: ${_out}")

# pkg-config --static, with -l:libqorvex.a in place of -lqorvex (beside the
# shared library, -lqorvex would take the shared one), as the README shows:
# the private libraries must be all a C program needs for the C++ runtime
# and ICU.
run(${PKG_CONFIG} --static --cflags --libs qorvex)
string(STRIP "${_out}" _flags)
separate_arguments(_flags UNIX_COMMAND "${_flags}")
list(TRANSFORM _flags REPLACE "^-lqorvex$" "-l:libqorvex.a")
run(${C_COMPILER} -std=c99 ${SOURCE_DIR}/consumer/main.c ${_flags} -o ${WORK_DIR}/pc-static-consumer)
unset(ENV{LD_LIBRARY_PATH})
run(${WORK_DIR}/pc-static-consumer)
message(STATUS "pkg-config --static consumer: ${_out}")

# find_package with the static target.
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/static_consumer -B ${WORK_DIR}/cmake-static-consumer -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${_prefix} -DCMAKE_C_COMPILER=${C_COMPILER})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-static-consumer)
run(${WORK_DIR}/cmake-static-consumer/static_consumer)
message(STATUS "qorvex::qorvex_static consumer: ${_out}")
