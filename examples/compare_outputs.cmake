# SPDX-License-Identifier: MIT
# cmake -DC=<program> -DCPP=<program> -DFILES=<file;...> [-DEMULATOR=<command>]
#       -P compare_outputs.cmake
# Runs both programs on the files (through the emulator of a cross build) and
# fails unless they print the same.
foreach(program C CPP)
    execute_process(COMMAND ${EMULATOR} ${${program}} ${FILES}
        OUTPUT_VARIABLE out_${program} ERROR_QUIET RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${${program}} exited with ${rc}")
    endif()
endforeach()
if(out_C STREQUAL "")
    message(FATAL_ERROR "${C} printed nothing")
endif()
if(NOT out_C STREQUAL out_CPP)
    message(FATAL_ERROR "the outputs differ:\n--- ${C}\n${out_C}\n--- ${CPP}\n${out_CPP}")
endif()
