# stowkitwin's own icon group DEFAULT_ICON, drawn at build time by make_default_icon.py into the
# generated folder (on the resource compiler's include path). Kits made without an ICON key
# carry it.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(STOWKIT_DEFAULT_ICON ${CMAKE_CURRENT_BINARY_DIR}/generated/stowkit_default.ico)
add_custom_command(
  OUTPUT ${STOWKIT_DEFAULT_ICON}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/generated
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/make_default_icon.py ${STOWKIT_DEFAULT_ICON}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make_default_icon.py
  COMMENT "Drawing the default icon"
  VERBATIM)
add_custom_target(stowkit_default_icon DEPENDS ${STOWKIT_DEFAULT_ICON})
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/stowkitwin.rc PROPERTIES
  OBJECT_DEPENDS ${STOWKIT_DEFAULT_ICON})
# The program target is defined after this file is included.
cmake_language(DEFER CALL add_dependencies stowkitwin stowkit_default_icon)
