cmake_policy(SET CMP0057 NEW)
# Fails unless the DLL's export table holds exactly the twelve entry points
# under their plain names (no @N decoration), the template leftovers, and
# nothing else.
execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p failed on ${LIBRARY}")
endif()
# The names follow the line "[Ordinal/Name Pointer] Table", one a line as
# "\t[   0] NAME", up to the first empty line. Brackets are taken out first:
# CMake's lists treat them specially.
string(REPLACE "[" "<" dump "${dump}")
string(REPLACE "]" ">" dump "${dump}")
string(REGEX MATCH "<Ordinal/Name Pointer> Table\n([^\n]+\n)+" table "${dump}")
if(NOT table)
  message(FATAL_ERROR "no export table in ${LIBRARY}")
endif()
string(REGEX REPLACE "^<Ordinal/Name Pointer> Table\n" "" table "${table}")
string(REGEX REPLACE "[^\n]*> ([^\n]+)\n" "\\1;" found "${table}")
set(expected
  QZ_TRK7700_AUTO_INTO_DUMP_MODE QZ_TRK7700_DUMP_DB QZ_TRK7700_ERASE_All_DB QZ_TRK7700_EXIT_DUMP_MODE
  QZ_TRK7700_FW_UPGRADE QZ_TRK7700_INTO_DUMP_MODE QZ_TRK7700_READ_DEVICE_INFORMATION QZ_TRK7700_READ_DLL_VERSION
  QZ_TRK7700_READ_GPS_UTC_TIME_DATE QZ_TRK7700_READ_SETTING_VALUE QZ_TRK7700_Read_BinFile_FW_Version
  QZ_TRK7700_SETTING_DEVICE fnTRK7700_DLL nTRK7700_DLL
  # CTRK7700_DLL: its constructors and its copy assignment
  _ZN12CTRK7700_DLLC1Ev _ZN12CTRK7700_DLLC2Ev _ZN12CTRK7700_DLLaSERKS_)
set(unexpected "")
foreach(name ${found})
  if(NOT name IN_LIST expected)
    list(APPEND unexpected ${name})
  endif()
endforeach()
if(unexpected)
  message(FATAL_ERROR "unexpected exports: ${unexpected}")
endif()
foreach(name ${expected})
  if(NOT name IN_LIST found)
    message(FATAL_ERROR "missing export: ${name}")
  endif()
endforeach()
message(STATUS "exports: ${found}")

# 32-bit: each entry point is a stdcall function (its symbol carries @N, the
# bytes of arguments it removes from the stack itself), and its plain exported
# name lies at the same address.
if(NM)
  execute_process(COMMAND ${NM} ${LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
  endif()
  set(stdcall_entries
    QZ_TRK7700_INTO_DUMP_MODE@4 QZ_TRK7700_AUTO_INTO_DUMP_MODE@4 QZ_TRK7700_EXIT_DUMP_MODE@0
    QZ_TRK7700_DUMP_DB@8 QZ_TRK7700_ERASE_All_DB@4 QZ_TRK7700_SETTING_DEVICE@28
    QZ_TRK7700_READ_SETTING_VALUE@24 QZ_TRK7700_READ_DLL_VERSION@4 QZ_TRK7700_READ_DEVICE_INFORMATION@12
    QZ_TRK7700_READ_GPS_UTC_TIME_DATE@24 QZ_TRK7700_FW_UPGRADE@8 QZ_TRK7700_Read_BinFile_FW_Version@8)
  foreach(decorated ${stdcall_entries})
    string(REGEX REPLACE "@[0-9]+$" "" plain "${decorated}")
    string(REGEX MATCH "([0-9a-f]+) T _${decorated}\n" decorated_line "${symbols}")
    set(decorated_address "${CMAKE_MATCH_1}")
    string(REGEX MATCH "([0-9a-f]+) T _${plain}\n" plain_line "${symbols}")
    set(plain_address "${CMAKE_MATCH_1}")
    if(NOT decorated_line)
      message(FATAL_ERROR "${plain} is not the stdcall function ${decorated}")
    endif()
    if(NOT plain_address STREQUAL decorated_address)
      message(FATAL_ERROR "the exported ${plain} (${plain_address}) is not ${decorated} (${decorated_address})")
    endif()
  endforeach()
  message(STATUS "stdcall: ${stdcall_entries}")

  # The callee removes its arguments: every return in the entry point's body
  # is "ret $N" with N its argument bytes (a bare "ret" for none). A caller
  # that declares the entry point stdcall leaves that to the callee, so its
  # stack stays balanced; this is what a 32-bit caller relies on, read from
  # the machine code itself.
  foreach(decorated ${stdcall_entries})
    string(REGEX MATCH "@([0-9]+)$" ignored "${decorated}")
    set(argument_bytes "${CMAKE_MATCH_1}")
    execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn --disassemble=_${decorated} ${LIBRARY}
                    OUTPUT_VARIABLE body RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "${OBJDUMP} -d failed on ${LIBRARY}")
    endif()
    string(REGEX MATCHALL "\tret[^\n]*" returns "${body}")
    if(NOT returns)
      message(FATAL_ERROR "${decorated}: no return found in its machine code")
    endif()
    foreach(instruction ${returns})
      string(STRIP "${instruction}" instruction)
      if(argument_bytes EQUAL 0)
        set(wanted "^ret$")
      else()
        math(EXPR hex "${argument_bytes}" OUTPUT_FORMAT HEXADECIMAL)
        set(wanted "^ret +\\$${hex}$")
      endif()
      if(NOT instruction MATCHES "${wanted}")
        message(FATAL_ERROR "${decorated} returns with \"${instruction}\": the caller's stack would not be balanced")
      endif()
    endforeach()
  endforeach()
  message(STATUS "stdcall returns: every entry point removes its own arguments")
endif()
