cmake_minimum_required(VERSION 3.20)
# Runs one built program as a front end or a shell would, and checks what it did:
#   cmake -DPROGRAM=<exe> [-DEMULATOR=a|b] [-DARGS=a|b] [-DINPUT=<file>] [-DSTATUS=0]
#         [-DOUTPUT=<regex>] [-DERRORS=<regex>] -P run.cmake
# Lists are separated by "|". The exit status must be STATUS (0 by default), standard output
# (carriage returns dropped) must match OUTPUT, and standard error must match ERRORS, or be
# empty when ERRORS is not given: sanitizer reports land there.
string(REPLACE "|" ";" command "${EMULATOR}|${PROGRAM}|${ARGS}")
list(REMOVE_ITEM command "")
if(NOT DEFINED STATUS)
  set(STATUS 0)
endif()
if(INPUT)
  set(input INPUT_FILE "${INPUT}")
endif()
execute_process(COMMAND ${command} ${input} RESULT_VARIABLE status OUTPUT_VARIABLE output
                ERROR_VARIABLE errors TIMEOUT 600)
string(REPLACE "\r" "" output "${output}")
set(failed "")
if(NOT status STREQUAL STATUS)
  string(APPEND failed "exit status ${status}, not ${STATUS}\n")
endif()
if(DEFINED OUTPUT AND NOT output MATCHES "${OUTPUT}")
  string(APPEND failed "standard output does not match ${OUTPUT}\n")
endif()
if((DEFINED ERRORS AND NOT errors MATCHES "${ERRORS}") OR (NOT DEFINED ERRORS AND errors))
  string(APPEND failed "standard error is not as expected\n")
endif()
if(failed)
  message(FATAL_ERROR "${command}\n${failed}--- standard output:\n${output}\n--- standard error:\n${errors}")
endif()
