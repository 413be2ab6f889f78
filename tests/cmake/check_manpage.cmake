# The manual page is current and renders: regenerating it from docs/cli.md
# gives the committed docs/qorvex.1, and man(1) formats it without warnings.
#
#   cmake -DSOURCE_DIR=<repo> -DWORK_DIR=<dir> -P check_manpage.cmake
cmake_minimum_required(VERSION 3.25)
file(MAKE_DIRECTORY ${WORK_DIR})
set(_fresh ${WORK_DIR}/qorvex.1)
execute_process(
  COMMAND sh ${SOURCE_DIR}/scripts/make-manpage.sh ${SOURCE_DIR}/docs/cli.md ${_fresh}
  RESULT_VARIABLE _rc ERROR_VARIABLE _err)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "scripts/make-manpage.sh failed: ${_err}")
endif()
file(READ ${_fresh} _new)
file(READ ${SOURCE_DIR}/docs/qorvex.1 _committed)
if(NOT _new STREQUAL _committed)
  message(FATAL_ERROR "docs/qorvex.1 is out of date with docs/cli.md: run scripts/make-manpage.sh and commit it")
endif()

find_program(MAN man)
if(NOT MAN)
  message(STATUS "man(1) is not installed: the page was checked as current but not rendered")
  return()
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env MANWIDTH=80 ${MAN} --warnings -l ${SOURCE_DIR}/docs/qorvex.1
  RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _warn)
if(NOT _rc EQUAL 0 OR NOT _warn STREQUAL "")
  message(FATAL_ERROR "man -l docs/qorvex.1 failed (${_rc}): ${_warn}")
endif()
if(NOT _out MATCHES "QORVEX\\(1\\)" OR NOT _out MATCHES "NAME" OR NOT _out MATCHES "EXIT STATUS")
  message(FATAL_ERROR "man -l docs/qorvex.1 rendered no page:\n${_out}")
endif()
string(LENGTH "${_out}" _n)
message(STATUS "docs/qorvex.1 is current and renders (${_n} characters)")
