# Makes the sample database: vornsql create, then the SQL script on standard input.
# Built under a temporary name and renamed at the end, so that a failed run leaves no
# half-made sample behind.
#   cmake -DVORNSQL=... -DSCRIPT=sample.sql -DDATABASE=.../sample.db -P make_sample.cmake
foreach(var VORNSQL SCRIPT DATABASE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "make_sample.cmake needs -D${var}=...")
  endif()
endforeach()

get_filename_component(folder "${DATABASE}" DIRECTORY)
file(MAKE_DIRECTORY "${folder}")
set(building "${DATABASE}.building")
file(REMOVE "${building}" "${building}-wal" "${building}-shm")

execute_process(COMMAND "${VORNSQL}" --quiet create "${building}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "vornsql could not create ${building}")
endif()
execute_process(COMMAND "${VORNSQL}" --quiet "${building}" INPUT_FILE "${SCRIPT}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${building}")
  message(FATAL_ERROR "vornsql failed on ${SCRIPT} (its message is above)")
endif()
file(RENAME "${building}" "${DATABASE}")
