# Cross-builds 64-bit Windows binaries with clang and lld for the MinGW-w64
# target, so that the library ships with CodeView symbols in a PDB. The C++
# headers and libraries are those of Debian's -posix MinGW-w64 GCC, whose
# folder clang does not find by itself (its name is no plain version).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# Debian 12's versions unless told otherwise: the Debian 13 root builds with
# -DDOCEVENTDLG_LLVM_VERSION=19 -DDOCEVENTDLG_MINGW_GCC_VERSION=14.
if(NOT DOCEVENTDLG_LLVM_VERSION)
  set(DOCEVENTDLG_LLVM_VERSION 14)
endif()
if(NOT DOCEVENTDLG_MINGW_GCC_VERSION)
  set(DOCEVENTDLG_MINGW_GCC_VERSION 12)
endif()
# CMake's test projects read this file again and need the same choice.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES DOCEVENTDLG_LLVM_VERSION DOCEVENTDLG_MINGW_GCC_VERSION)

set(mingw_triple x86_64-w64-mingw32)
set(mingw_gcc_dir /usr/lib/gcc/${mingw_triple}/${DOCEVENTDLG_MINGW_GCC_VERSION}-posix)

set(CMAKE_C_COMPILER clang-${DOCEVENTDLG_LLVM_VERSION})
set(CMAKE_CXX_COMPILER clang++-${DOCEVENTDLG_LLVM_VERSION})
set(CMAKE_C_COMPILER_TARGET ${mingw_triple})
set(CMAKE_CXX_COMPILER_TARGET ${mingw_triple})
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)
set(CMAKE_AR llvm-ar-${DOCEVENTDLG_LLVM_VERSION})
set(CMAKE_RANLIB llvm-ranlib-${DOCEVENTDLG_LLVM_VERSION})

set(CMAKE_CXX_FLAGS_INIT "-isystem ${mingw_gcc_dir}/include/c++ -isystem ${mingw_gcc_dir}/include/c++/${mingw_triple}")
# libgcc's emulated thread-local storage calls winpthread; lld resolves
# archives in any order, so naming it here is enough.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -L${mingw_gcc_dir} -lpthread")
endforeach()

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
