cmake_policy(SET CMP0057 NEW)
# Fails unless the library's dynamic symbol table defines exactly the twelve
# entry points and the three template leftovers.
execute_process(COMMAND nm -D --defined-only ${LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(expected
  QZ_TRK7700_AUTO_INTO_DUMP_MODE QZ_TRK7700_DUMP_DB QZ_TRK7700_ERASE_All_DB QZ_TRK7700_EXIT_DUMP_MODE
  QZ_TRK7700_FW_UPGRADE QZ_TRK7700_INTO_DUMP_MODE QZ_TRK7700_READ_DEVICE_INFORMATION QZ_TRK7700_READ_DLL_VERSION
  QZ_TRK7700_READ_GPS_UTC_TIME_DATE QZ_TRK7700_READ_SETTING_VALUE QZ_TRK7700_Read_BinFile_FW_Version
  QZ_TRK7700_SETTING_DEVICE fnTRK7700_DLL nTRK7700_DLL)
set(found "")
set(unexpected "")
foreach(line ${lines})
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] +" "" name "${line}")
  if(name MATCHES "^_ZN12CTRK7700_DLL")
    list(APPEND found CTRK7700_DLL)
  elseif(name IN_LIST expected)
    list(APPEND found ${name})
  else()
    list(APPEND unexpected ${name})
  endif()
endforeach()
if(unexpected)
  message(FATAL_ERROR "unexpected exported symbols: ${unexpected}")
endif()
foreach(name ${expected} CTRK7700_DLL)
  if(NOT name IN_LIST found)
    message(FATAL_ERROR "missing export: ${name}")
  endif()
endforeach()
message(STATUS "exports: ${found}")
