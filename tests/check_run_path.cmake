# Fails when a program's run path has an empty entry: the loader takes an
# empty entry for the current directory, so a library planted in the folder a
# user runs the program from would be loaded instead of ours.
execute_process(COMMAND readelf -d ${PROGRAM} OUTPUT_VARIABLE dynamic RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "readelf failed on ${PROGRAM}")
endif()
string(REGEX MATCH "(RPATH|RUNPATH)[^[]*\\[([^]]*)\\]" entry "${dynamic}")
set(path "${CMAKE_MATCH_2}")
if(path MATCHES "^:" OR path MATCHES ":$" OR path MATCHES "::")
  message(FATAL_ERROR "${PROGRAM}: run path with an empty entry: ${path}")
endif()
message(STATUS "${PROGRAM}: run path ${path}")
