# pelorin_delay_load(TARGET DLL FUNCTION...): TARGET's calls to these functions of DLL load it
# when the first of them is made, not at the program's start. An import library of the DLL's
# name that binds on first call (dlltool's delay-import library, holding these functions only)
# is found before the toolchain's; the target needs a __delayLoadHelper2
# (app/DelayLoadHelper.cpp). A function of DLL that is not named here is an undefined reference
# at the link.
#
# Each function's binding thunk is a link root: the 32-bit linker keeps every .idata$5 slot
# but does not follow a kept slot to the thunk it points at, so with --gc-sections it dropped
# the thunks and left the slots 0 (the first call jumped to address 0).
function(pelorin_delay_load target dll)
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/${target}-delay-load)
  find_library(pelorin_import_${dll} NAMES lib${dll}.a REQUIRED NO_CACHE)
  execute_process(COMMAND ${CMAKE_NM} ${pelorin_import_${dll}} OUTPUT_VARIABLE symbols
                  COMMAND_ERROR_IS_FATAL ANY)
  # 32-bit symbols are decorated ("__imp__Name@8", the thunk "_Name@8"), 64-bit ones not.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(underscore "_")
  else()
    set(underscore "")
  endif()
  set(definition "LIBRARY ${dll}.dll\nEXPORTS\n")
  foreach(function IN LISTS ARGN)
    if(NOT symbols MATCHES " I __imp_${underscore}(${function}(@[0-9]+)?)\n")
      message(FATAL_ERROR "${pelorin_import_${dll}} imports no ${function}")
    endif()
    string(APPEND definition "${CMAKE_MATCH_1}\n")
    target_link_options(${target} PRIVATE "LINKER:--require-defined=${underscore}${CMAKE_MATCH_1}")
  endforeach()
  file(MAKE_DIRECTORY ${folder})
  file(CONFIGURE OUTPUT ${folder}/${dll}.def CONTENT "${definition}")
  add_custom_command(OUTPUT ${folder}/lib${dll}.a
    COMMAND ${CMAKE_DLLTOOL} --kill-at --temp-prefix ${dll} --input-def ${dll}.def
            --output-delaylib lib${dll}.a
    WORKING_DIRECTORY ${folder}
    DEPENDS ${folder}/${dll}.def
    VERBATIM)
  add_custom_target(${target}_delay_load_${dll} DEPENDS ${folder}/lib${dll}.a)
  add_dependencies(${target} ${target}_delay_load_${dll})
  target_link_directories(${target} BEFORE PRIVATE ${folder})
  # The exe is linked again when the library is made again.
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${folder}/lib${dll}.a)
endfunction()
