# add_resource_library(<name> <script.rc> [INCLUDES dir...])
# Builds a resource-only DLL: no code, no entry point, no imports.
function(add_resource_library name script)
  cmake_parse_arguments(ARG "" "" "INCLUDES" ${ARGN})
  add_library(${name} SHARED ${script})
  set_target_properties(${name} PROPERTIES PREFIX "" LINKER_LANGUAGE C)
  target_include_directories(${name} PRIVATE ${ARG_INCLUDES})
  target_link_options(${name} PRIVATE -nostdlib -Wl,--entry,0 -Wl,--no-insert-timestamp)
  # No import library is wanted for a DLL that exports nothing.
  set_target_properties(${name} PROPERTIES IMPORT_PREFIX "" IMPORT_SUFFIX ".unused.a")
endfunction()
