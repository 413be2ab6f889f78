# The guard: every function the shared library exports must be covered by
# the constant-time check, by a fuzz target, or by the explicit list of
# exports that take neither secrets nor attacker bytes, so that a new export
# cannot skip the checks. Prints the lists it found.
#
#   cmake -DLIBRARY=libqorvex.so -DCTIME_DIR=tests/ctime
#         -DFUZZ_DIR=fuzz -DUNCHECKED_LIST=tests/guard/no_secret_no_attacker_bytes.txt
#         -P check_export_coverage.cmake
cmake_minimum_required(VERSION 3.25)
find_program(NM nm REQUIRED)
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE _nm RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[0-9a-fA-F]+ T (qorvex_[a-z0-9_]+)" _lines "${_nm}")
set(_exports "")
foreach(_l IN LISTS _lines)
  string(REGEX REPLACE ".* T " "" _name "${_l}")
  list(APPEND _exports ${_name})
endforeach()
list(REMOVE_DUPLICATES _exports)
list(SORT _exports)
list(LENGTH _exports _n_exports)

# The constant-time table: CT_CASE(name, ...) and CT_EXCEPTION(name, ...) in
# any file of the check.
file(GLOB _ct_sources ${CTIME_DIR}/*.cpp)
set(_ct_hits "")
foreach(_src IN LISTS _ct_sources)
  file(READ ${_src} _ct)
  string(REGEX MATCHALL "CT_(CASE|EXCEPTION)\\((qorvex_[a-z0-9_]+)" _hits "${_ct}")
  list(APPEND _ct_hits ${_hits})
endforeach()
set(_ctime "")
foreach(_h IN LISTS _ct_hits)
  string(REGEX REPLACE "CT_(CASE|EXCEPTION)\\(" "" _name "${_h}")
  list(APPEND _ctime ${_name})
endforeach()
list(REMOVE_DUPLICATES _ctime)

# The fuzz targets: QORVEX_FUZZ_EXPORTS(name, name, ...) in each target.
file(GLOB _fuzz_sources ${FUZZ_DIR}/*.cpp)
set(_fuzzed "")
set(_fuzz_report "")
foreach(_src IN LISTS _fuzz_sources)
  file(READ ${_src} _text)
  string(REGEX MATCH "QORVEX_FUZZ_EXPORTS\\(([^)]*)\\)" _block "${_text}")
  if(NOT _block)
    continue()
  endif()
  string(REGEX MATCHALL "qorvex_[a-z0-9_]+" _names "${CMAKE_MATCH_1}")
  list(APPEND _fuzzed ${_names})
  get_filename_component(_target ${_src} NAME_WE)
  string(REPLACE ";" " " _pretty "${_names}")
  string(APPEND _fuzz_report "    ${_target}: ${_pretty}\n")
endforeach()
list(REMOVE_DUPLICATES _fuzzed)

# The explicit list.
file(STRINGS ${UNCHECKED_LIST} _list_lines REGEX "^qorvex_")
set(_unchecked "")
foreach(_l IN LISTS _list_lines)
  string(REGEX MATCH "^qorvex_[a-z0-9_]+" _name "${_l}")
  list(APPEND _unchecked ${_name})
endforeach()

set(_uncovered "")
foreach(_e IN LISTS _exports)
  if(NOT _e IN_LIST _ctime AND NOT _e IN_LIST _fuzzed AND NOT _e IN_LIST _unchecked)
    list(APPEND _uncovered ${_e})
  endif()
endforeach()
set(_stale "")
foreach(_e IN LISTS _ctime _fuzzed _unchecked)
  if(NOT _e IN_LIST _exports)
    list(APPEND _stale ${_e})
  endif()
endforeach()

list(LENGTH _ctime _n_ct)
list(LENGTH _fuzzed _n_fz)
list(LENGTH _unchecked _n_un)
string(REPLACE ";" " " _ct_pretty "${_ctime}")
string(REPLACE ";" " " _un_pretty "${_unchecked}")
message(STATUS "${_n_exports} exports\n"
  "  constant-time check (${_n_ct}): ${_ct_pretty}\n"
  "  fuzz targets (${_n_fz} exports):\n${_fuzz_report}"
  "  no secret input, no attacker bytes (${_n_un}): ${_un_pretty}")
if(_uncovered OR _stale)
  message(FATAL_ERROR "export coverage incomplete\n"
    "  exported but in no check and not listed: ${_uncovered}\n"
    "  named by a check or the list but not exported: ${_stale}")
endif()
