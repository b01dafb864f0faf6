# Link settings for the shipped Windows programs: static runtime, stripped, so that the
# import table names only DLLs that Windows always loads from its system directory; link-time
# optimisation for size in one partition (with several, GCC 12 for mingw refers to a partition's
# local copy of an explicitly instantiated constructor from another one, and the link fails).
function(stowkit_windows_program target)
  target_link_options(${target} PRIVATE -static -s -flto -flto-partition=one -Os)
  target_link_libraries(${target} PRIVATE lean_runtime)
  set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
endfunction()
