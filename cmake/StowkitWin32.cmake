# Link settings for the shipped Windows programs: static runtime, stripped, so that the
# import table names only DLLs that Windows always loads from its system directory.
function(stowkit_windows_program target)
  target_link_options(${target} PRIVATE -static -s)
  set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
endfunction()
