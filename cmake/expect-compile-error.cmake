# Checks that the compiler refuses a calling-convention mismatch:
# SOURCE must compile as it stands and fail with -DKAVRO_WRONG_CONVENTION.
# Called with -DCXX=... -DSOURCE=... -DINCLUDE=... -DSTAMP=...
foreach(variant right wrong)
  set(defs "")
  if(variant STREQUAL wrong)
    set(defs -DKAVRO_WRONG_CONVENTION)
  endif()
  execute_process(
    COMMAND ${CXX} -std=c++20 -fsyntax-only -I${INCLUDE} ${defs} ${SOURCE}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(variant STREQUAL right AND NOT rc EQUAL 0)
    message(FATAL_ERROR "${SOURCE} should compile:\n${out}")
  endif()
  if(variant STREQUAL wrong)
    if(rc EQUAL 0)
      message(FATAL_ERROR "A stand-in of the wrong calling convention compiled: ${SOURCE}")
    endif()
    if(NOT out MATCHES "stdcall")
      message(FATAL_ERROR "${SOURCE} failed for another reason than the calling convention:\n${out}")
    endif()
  endif()
endforeach()
file(TOUCH ${STAMP})
