# cmake -P tests/arm64/package_architecture.cmake
# The package's reading of a consumer's architecture, for the ways CMake
# describes one: Microsoft's compiler and clang-cl name it themselves; a
# MinGW cross toolchain file names the target processor; a native build has
# the host's.
cmake_minimum_required(VERSION 3.20)
include(${CMAKE_CURRENT_LIST_DIR}/../../packaging/doceventdlgArchitecture.cmake)

set(failures 0)
# architecture ID | processor | expected
foreach(row
    "ARM64|AMD64|arm64"      # Visual Studio on an x64 host, -A ARM64
    "x64|ARM64|x64"          # Visual Studio on an ARM64 host, -A x64
    "ARM64EC|ARM64|x64"      # ARM64EC programs load x64 DLLs
    "|aarch64|arm64"         # clang, aarch64-w64-mingw32 toolchain file
    "|ARM64|arm64"           # this project's ARM64 toolchain file, a native ARM64 host
    "|x86_64|x64"            # MinGW-w64 toolchain files
    "|AMD64|x64"             # native x64 host
    "X86|AMD64|x86"          # 32-bit: neither package suits
    "||")
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 id)
  list(GET fields 1 processor)
  list(GET fields 2 expected)
  set(CMAKE_C_COMPILER_ARCHITECTURE_ID "${id}")
  set(CMAKE_SYSTEM_PROCESSOR "${processor}")
  _doceventdlg_consumer_architecture(seen)
  if(NOT seen STREQUAL expected)
    message("FAILED: ID '${id}', processor '${processor}': '${seen}', expected '${expected}'")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} architecture case(s) failed")
endif()
message("package architecture cases passed")
