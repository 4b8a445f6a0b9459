# add_resource_library(<name> <script.rc> [INCLUDES dir...])
# Builds a resource-only DLL: no code, no entry point, no imports.
function(add_resource_library name script)
  cmake_parse_arguments(ARG "" "" "INCLUDES" ${ARGN})
  add_library(${name} SHARED ${script})
  set_target_properties(${name} PROPERTIES PREFIX "" LINKER_LANGUAGE C)
  target_include_directories(${name} PRIVATE ${ARG_INCLUDES})
  target_link_options(${name} PRIVATE -nostdlib -Wl,--entry,0 -Wl,--no-insert-timestamp)
  if(CMAKE_C_COMPILER_ID STREQUAL "Clang" AND DOCEVENTDLG_ARCHITECTURE STREQUAL "arm64")
    # GNU ld links x86 images only: lld-link links this one (rule below).
    set_target_properties(${name} PROPERTIES LINKER_LANGUAGE RC)
  elseif(CMAKE_C_COMPILER_ID STREQUAL "Clang")
    # clang names an entry point for every DLL and lld cannot drop it; GNU ld
    # links a DLL without one.
    find_program(MINGW_GNU_LD NAMES x86_64-w64-mingw32-ld REQUIRED)
    target_link_options(${name} PRIVATE --ld-path=${MINGW_GNU_LD})
  endif()
  # No import library is wanted for a DLL that exports nothing.
  set_target_properties(${name} PROPERTIES IMPORT_PREFIX "" IMPORT_SUFFIX ".unused.a")
endfunction()

# For ARM64, clang's MinGW front end names an entry point that no option of
# lld's takes away; lld-link itself links a DLL with none. /Brepro makes its
# time stamp a hash of the contents.
if(CMAKE_C_COMPILER_ID STREQUAL "Clang" AND DOCEVENTDLG_ARCHITECTURE STREQUAL "arm64")
  find_program(LLD_LINK NAMES lld-link-14 lld-link REQUIRED)
  set(CMAKE_RC_CREATE_SHARED_LIBRARY
      "${LLD_LINK} /nologo /dll /noentry /machine:arm64 /brepro /out:<TARGET> /implib:<TARGET_IMPLIB> <OBJECTS>")
endif()
