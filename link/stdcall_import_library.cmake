# 32-bit Windows: makes the import library of TRK7700_DLL.dll for callers that
# link against it. The DLL exports the plain names, while a C or C++ caller
# compiled with the header asks for the stdcall names (_NAME@N). The .def file
# is copied with each entry point given the @N the compiler gave it, and
# dlltool --kill-at makes an import library that binds each NAME@N to the
# plain exported NAME.
execute_process(COMMAND ${NM} ${LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
file(STRINGS ${DEF} lines)
set(decorated "")
foreach(line IN LISTS lines)
  if(line MATCHES "^    (QZ_TRK7700_[A-Za-z_]+)$")
    set(name ${CMAKE_MATCH_1})
    if(NOT symbols MATCHES "T _${name}(@[0-9]+)\n")
      message(FATAL_ERROR "${name} is not a stdcall function in ${LIBRARY}")
    endif()
    string(APPEND line "${CMAKE_MATCH_1}")
  endif()
  string(APPEND decorated "${line}\n")
endforeach()
file(WRITE ${STDCALL_DEF} "${decorated}")
execute_process(COMMAND ${DLLTOOL} --kill-at --input-def ${STDCALL_DEF} --dllname TRK7700_DLL.dll
                        --output-lib ${IMPORT_LIBRARY} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${DLLTOOL} could not make ${IMPORT_LIBRARY}")
endif()
