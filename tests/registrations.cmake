# Every test run again over Jet 3 files ("jet3.") must really be told so: a list given to
# gtest_discover_tests' PROPERTIES is split apart, and the second run then silently repeats the
# Jet 4 one. Run by ctest from the build folder.
execute_process(COMMAND ${CMAKE_CTEST_COMMAND} --show-only=json-v1 OUTPUT_VARIABLE json
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ctest --show-only failed")
endif()
string(JSON count LENGTH "${json}" tests)
math(EXPR last "${count} - 1")
set(jet3 0)
foreach(i RANGE ${last})
  string(JSON name GET "${json}" tests ${i} name)
  if(NOT name MATCHES "^jet3\\.")
    continue()
  endif()
  math(EXPR jet3 "${jet3} + 1")
  string(JSON props ERROR_VARIABLE none GET "${json}" tests ${i} properties)
  if(NOT props MATCHES "MOZHOU_TEST_BANK_FORMAT=jet3" OR NOT props MATCHES "TIMEOUT")
    message(SEND_ERROR "${name} runs without MOZHOU_TEST_BANK_FORMAT=jet3 or its time limit")
  endif()
endforeach()
message(STATUS "${jet3} tests run over Jet 3 files")
