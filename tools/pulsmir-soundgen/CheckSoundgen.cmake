# Runs pulsmir-soundgen into a scratch folder and checks that it writes the sounds data/ ships:
# the same file names and sizes (the samples may differ in the last bit from one maths library
# to another).
# cmake -DSOUNDGEN=... -DOUT=... -DDATA=... -P CheckSoundgen.cmake
file(REMOVE_RECURSE "${OUT}")
execute_process(COMMAND "${SOUNDGEN}" "${OUT}" RESULT_VARIABLE code ERROR_VARIABLE err)
if(NOT code EQUAL 0)
    message(FATAL_ERROR "pulsmir-soundgen failed (${code}): ${err}")
endif()
file(GLOB written RELATIVE "${OUT}/sounds" "${OUT}/sounds/*")
file(GLOB shipped RELATIVE "${DATA}/sounds" "${DATA}/sounds/*")
list(SORT written)
list(SORT shipped)
if(NOT written STREQUAL shipped)
    message(FATAL_ERROR "pulsmir-soundgen writes ${written}; data/sounds holds ${shipped}")
endif()
foreach(name IN LISTS written)
    file(SIZE "${OUT}/sounds/${name}" new)
    file(SIZE "${DATA}/sounds/${name}" old)
    if(NOT new EQUAL old)
        message(FATAL_ERROR "sounds/${name}: ${new} bytes drawn, ${old} shipped")
    endif()
endforeach()
