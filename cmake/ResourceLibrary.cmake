# add_resource_library(<name> <script.rc> [INCLUDES dir...])
# Builds a resource-only DLL: no code, no entry point, no imports.
function(add_resource_library name script)
  cmake_parse_arguments(ARG "" "" "INCLUDES" ${ARGN})
  add_library(${name} SHARED ${script})
  set_target_properties(${name} PROPERTIES PREFIX "" LINKER_LANGUAGE C)
  target_include_directories(${name} PRIVATE ${ARG_INCLUDES})
  target_link_options(${name} PRIVATE -nostdlib -Wl,--entry,0 -Wl,--no-insert-timestamp)
  if(CMAKE_C_COMPILER_ID STREQUAL "Clang")
    # clang names an entry point for every DLL and lld cannot drop it; GNU ld
    # links a DLL without one.
    find_program(MINGW_GNU_LD NAMES x86_64-w64-mingw32-ld REQUIRED)
    target_link_options(${name} PRIVATE --ld-path=${MINGW_GNU_LD})
  endif()
  # No import library is wanted for a DLL that exports nothing.
  set_target_properties(${name} PROPERTIES IMPORT_PREFIX "" IMPORT_SUFFIX ".unused.a")
endfunction()
