# cmake -DNM=... -DDLLTOOL=... -DDLL=name -DIMPORT_LIBRARY=path -DFOLDER=path -DPOINTER_SIZE=4|8
#       -P this file
# Writes FOLDER/libDLL.a, a delay-import library with every function IMPORT_LIBRARY imports.
execute_process(COMMAND ${NM} ${IMPORT_LIBRARY} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
# 32-bit symbols have a leading underscore ("__imp__Name@8"), 64-bit ones none ("__imp_Name").
if(POINTER_SIZE EQUAL 4)
  set(prefix " I __imp__")
else()
  set(prefix " I __imp_")
endif()
string(REGEX MATCHALL "${prefix}[^\n]+" imports "${symbols}")
set(definition "LIBRARY ${DLL}.dll\nEXPORTS\n")
foreach(import IN LISTS imports)
  string(REPLACE "${prefix}" "" name "${import}")
  string(APPEND definition "${name}\n")
endforeach()
file(MAKE_DIRECTORY ${FOLDER})
file(WRITE ${FOLDER}/${DLL}.def "${definition}")
execute_process(COMMAND ${DLLTOOL} --kill-at --temp-prefix ${DLL} --input-def ${FOLDER}/${DLL}.def
                        --output-delaylib lib${DLL}.a
                WORKING_DIRECTORY ${FOLDER} COMMAND_ERROR_IS_FATAL ANY)
