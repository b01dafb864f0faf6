# Link settings for the shipped Windows programs: static runtime, stripped, so that the
# import table names only DLLs that Windows always loads from its system directory; link-time
# optimisation for size in one partition (with several, GCC 12 for mingw refers to a partition's
# local copy of an explicitly instantiated constructor from another one, and the link fails).
if(WIN32)
  # The default script with .CRT and .tls inside .data (cmake/merge_small_sections.py says why).
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -Wl,--verbose
                  OUTPUT_FILE ${CMAKE_BINARY_DIR}/default-link-script.txt ERROR_QUIET)
  set(STOWKIT_LINK_SCRIPT ${CMAKE_BINARY_DIR}/stowkit-sections.ld)
  execute_process(COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/merge_small_sections.py
                          ${CMAKE_BINARY_DIR}/default-link-script.txt ${STOWKIT_LINK_SCRIPT}
                  RESULT_VARIABLE merged)
  if(NOT merged EQUAL 0)
    message(FATAL_ERROR "cannot write the linker script ${STOWKIT_LINK_SCRIPT}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${CMAKE_CURRENT_LIST_DIR}/merge_small_sections.py)
endif()

function(stowkit_windows_program target)
  target_link_options(${target} PRIVATE -static -s -flto -flto-partition=one -Oz
                      -Wl,-T,${STOWKIT_LINK_SCRIPT})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${STOWKIT_LINK_SCRIPT})
  target_link_libraries(${target} PRIVATE lean_runtime)
  set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
endfunction()
