# pelorin_delay_load(TARGET DLL...): TARGET's calls into these DLLs load them when first made,
# not at the program's start. For each DLL an import library of the same name that binds on
# first call (dlltool's delay-import library, made from the toolchain's own import library) is
# found before the toolchain's; the target needs a __delayLoadHelper2 (app/DelayLoadHelper.cpp).
function(pelorin_delay_load target)
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/${target}-delay-load)
  set(libraries)
  foreach(dll IN LISTS ARGN)
    find_library(pelorin_import_${dll} NAMES lib${dll}.a REQUIRED NO_CACHE)
    add_custom_command(OUTPUT ${folder}/lib${dll}.a
      COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DDLLTOOL=${CMAKE_DLLTOOL} -DDLL=${dll}
              -DIMPORT_LIBRARY=${pelorin_import_${dll}} -DFOLDER=${folder}
              -DPOINTER_SIZE=${CMAKE_SIZEOF_VOID_P}
              -P ${PROJECT_SOURCE_DIR}/cmake/MakeDelayImportLibrary.cmake
      DEPENDS ${pelorin_import_${dll}} ${PROJECT_SOURCE_DIR}/cmake/MakeDelayImportLibrary.cmake
      VERBATIM)
    list(APPEND libraries ${folder}/lib${dll}.a)
  endforeach()
  add_custom_target(${target}_delay_load DEPENDS ${libraries})
  add_dependencies(${target} ${target}_delay_load)
  target_link_directories(${target} BEFORE PRIVATE ${folder})
  # The exe is linked again when one of them is made again.
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${libraries})
endfunction()
