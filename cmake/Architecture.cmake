# The Windows machine the compiler builds for, asked of the compiler itself
# (the host's processor says nothing when cross-building):
#   DOCEVENTDLG_ARCHITECTURE           x64 or arm64: the package's name and the CMake package's check
#   DOCEVENTDLG_MANIFEST_ARCHITECTURE  amd64 or arm64: processorArchitecture of the manifest
#   DOCEVENTDLG_DLLTOOL_MACHINE        i386:x86-64 or arm64: the import libraries' machine
include(CheckCSourceCompiles)

function(doceventdlg_compiler_targets result macros)
  set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
  check_c_source_compiles("
#if !(${macros})
#error other machine
#endif
int doceventdlg_machine_probe;" ${result})
endfunction()

doceventdlg_compiler_targets(DOCEVENTDLG_TARGETS_ARM64 "defined(__aarch64__) || defined(_M_ARM64)")
doceventdlg_compiler_targets(DOCEVENTDLG_TARGETS_X64 "defined(__x86_64__) || defined(_M_X64)")
if(DOCEVENTDLG_TARGETS_ARM64)
  set(DOCEVENTDLG_ARCHITECTURE arm64)
  set(DOCEVENTDLG_MANIFEST_ARCHITECTURE arm64)
  set(DOCEVENTDLG_DLLTOOL_MACHINE arm64)
elseif(DOCEVENTDLG_TARGETS_X64)
  set(DOCEVENTDLG_ARCHITECTURE x64)
  set(DOCEVENTDLG_MANIFEST_ARCHITECTURE amd64)
  set(DOCEVENTDLG_DLLTOOL_MACHINE i386:x86-64)
else()
  message(FATAL_ERROR "The library builds for x64 and ARM64 Windows only.")
endif()
message(STATUS "doceventdlg builds for ${DOCEVENTDLG_ARCHITECTURE}")
