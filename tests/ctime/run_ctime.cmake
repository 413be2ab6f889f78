# Runs the constant-time check under valgrind's memcheck and reports
#   N functions, E errors, D declassify sites, X declared exceptions
# where X counts the exports public by design (in the check's table) and
# the entries of the suppression file that this run actually needed. Their
# reasons are printed; an entry no run needs any more should leave the file.
#
#   cmake -DVALGRIND=valgrind -DPROGRAM=qorvex_ctime -DSUPPRESSIONS=declared_exceptions.supp
#         -DLOG=valgrind.log -P run_ctime.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(
  COMMAND ${VALGRIND} --error-exitcode=42 --leak-check=no --track-origins=yes -v --log-file=${LOG}
    --suppressions=${SUPPRESSIONS} ${PROGRAM}
  OUTPUT_VARIABLE _out RESULT_VARIABLE _rc)
message("${_out}")

# The reasons, in file order, keyed by the name of the entry below each.
file(STRINGS ${SUPPRESSIONS} _supp_lines)
set(_reason "")
set(_expect_name FALSE)
foreach(_l IN LISTS _supp_lines)
  if(_l MATCHES "^# reason: (.*)$")
    set(_reason "${CMAKE_MATCH_1}")
  elseif(_l STREQUAL "{")
    set(_expect_name TRUE)
  elseif(_expect_name)
    string(STRIP "${_l}" _name)
    set(_reason_of_${_name} "${_reason}")
    set(_expect_name FALSE)
  endif()
endforeach()

# valgrind -v lists the suppressions it used: "used_suppression: COUNT NAME FILE:LINE".
file(STRINGS ${LOG} _used REGEX "used_suppression:")
set(_used_names "")
foreach(_l IN LISTS _used)
  if(_l MATCHES "used_suppression: +[0-9]+ ([^ ]+) (.*)$")
    set(_n "${CMAKE_MATCH_1}")
    if(DEFINED _reason_of_${_n})
      list(APPEND _used_names "${_n}")
    endif()
  endif()
endforeach()
list(LENGTH _used_names _n_used)
message("-- declared exceptions: branches inside the library, suppressed in this run (${_n_used})")
foreach(_n IN LISTS _used_names)
  message("      ${_n}: ${_reason_of_${_n}}")
endforeach()

if(_out MATCHES "table: ([0-9]+) functions, ([0-9]+) errors, ([0-9]+) declassify sites, ([0-9]+) exports public")
  math(EXPR _x "${CMAKE_MATCH_4} + ${_n_used}")
  message("${CMAKE_MATCH_1} functions, ${CMAKE_MATCH_2} errors, ${CMAKE_MATCH_3} declassify sites, ${_x} declared exceptions")
endif()
if(NOT _rc EQUAL 0)
  file(READ ${LOG} _log)
  message(FATAL_ERROR "${_log}\nthe constant-time check failed (exit ${_rc})")
endif()
