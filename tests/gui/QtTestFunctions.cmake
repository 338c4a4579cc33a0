# Run after a QtTest program is linked (cmake -P): asks the program for its
# test functions (-functions, which leaves out init, cleanup and the _data
# functions) and writes their names, one a line, to OUTPUT, which the
# program's ctest include file turns into tests.
#   -D EXECUTABLE=program -D OUTPUT=file -D SUPPRESSIONS=lsan.supp
set(ENV{QT_QPA_PLATFORM} offscreen)
# Listing is no test: what a sanitized build's leak check finds at exit is
# the tests' business.
set(ENV{LSAN_OPTIONS} "suppressions=${SUPPRESSIONS}")
set(ENV{ASAN_OPTIONS} "$ENV{ASAN_OPTIONS}:detect_leaks=0")
execute_process(COMMAND "${EXECUTABLE}" -functions
  OUTPUT_VARIABLE listed ERROR_VARIABLE errors RESULT_VARIABLE status TIMEOUT 60)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${EXECUTABLE} -functions failed (${status}):\n${listed}${errors}")
endif()
string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*\\(\\)" functions "${listed}")
list(TRANSFORM functions REPLACE "\\(\\)$" "")
if(NOT functions)
  message(FATAL_ERROR "${EXECUTABLE} lists no test functions:\n${listed}${errors}")
endif()
list(JOIN functions "\n" text)
file(WRITE "${OUTPUT}.new" "${text}\n")
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
