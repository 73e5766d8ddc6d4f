# cmake -P: turns a manual page source (scdoc, with @NAMES@ filled in here)
# into roff and a compressed copy. Run by the build; see cmake/Install.cmake.
#   -DSOURCE=page.1.scd.in -DOUTPUT=build/man/page.1 -DSCDOC=scdoc
#   [-DQORVAN=build/bin/qorvan] -DVERSION=x.y.z -DMODULEDIR=... -DSAMPLESDIR=...
file(READ "${SOURCE}" text)
if(DEFINED QORVAN AND NOT QORVAN STREQUAL "")
  execute_process(COMMAND "${QORVAN}" manual-commands OUTPUT_VARIABLE commands RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${QORVAN} manual-commands failed: ${failed}")
  endif()
  string(REPLACE "@COMMANDS@" "${commands}" text "${text}")
endif()
foreach(name VERSION MODULEDIR SAMPLESDIR)
  string(REPLACE "@${name}@" "${${name}}" text "${text}")
endforeach()
file(WRITE "${OUTPUT}.scd" "${text}")
execute_process(COMMAND "${SCDOC}" INPUT_FILE "${OUTPUT}.scd" OUTPUT_FILE "${OUTPUT}" RESULT_VARIABLE failed
                ERROR_VARIABLE errors)
if(failed)
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "scdoc failed on ${SOURCE}: ${errors}")
endif()
# gzip -n: no name or time stamp, so the same page makes the same bytes.
execute_process(COMMAND gzip -9 -n -c "${OUTPUT}" OUTPUT_FILE "${OUTPUT}.gz" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip failed on ${OUTPUT}")
endif()
