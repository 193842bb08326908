# Proves that reasonText() refuses, while the program builds, a call that does not fit its entry
# of platform/Reasons.def: builds tests/platform/ReasonMisuse.cpp right (it must build) and
# with each misuse (each must fail, naming why).
#   cmake -DCOMPILER=c++ -DROOT=<source folder> -P ReasonMisuse.cmake
set(source ${ROOT}/tests/platform/ReasonMisuse.cpp)
# MISUSE and the function whose name the compiler gives as the cause.
set(misuses
    "1:theValuesDoNotMatchTheFormatsCount" "2:theValuesDoNotMatchTheFormatsCount"
    "3:theValuesDoNotMatchTheFormatsCount" "4:onlyOutsideWordsOrAReasonPassThrough"
    "5:onlyOutsideWordsOrAReasonPassThrough" "6:outsideWordsGoOnlyWhereTheTablePassesThem")

function(build misuse result output)
  execute_process(COMMAND ${COMPILER} -std=c++20 -fsyntax-only -Wall -Wextra -Werror -I${ROOT}
                          -DMISUSE=${misuse} ${source}
                  RESULT_VARIABLE status OUTPUT_VARIABLE text ERROR_VARIABLE text)
  set(${result} ${status} PARENT_SCOPE)
  set(${output} "${text}" PARENT_SCOPE)
endfunction()

build(0 status text)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the right calls do not build:\n${text}")
endif()
foreach(entry IN LISTS misuses)
  string(REPLACE ":" ";" entry ${entry})
  list(GET entry 0 misuse)
  list(GET entry 1 cause)
  build(${misuse} status text)
  if(status EQUAL 0)
    message(FATAL_ERROR "misuse ${misuse} of reasonText() builds")
  endif()
  if(NOT text MATCHES "${cause}")
    message(FATAL_ERROR "misuse ${misuse} of reasonText() fails, but not for ${cause}:\n${text}")
  endif()
endforeach()
