# Cross-builds ARM64 Windows binaries with clang and lld for the MinGW-w64
# target. Debian ships no ARM64 MinGW runtime: scripts/arm64.sh builds one
# from Debian's mingw-w64 and LLVM sources into a sysroot (headers, runtime,
# import libraries, compiler-rt's builtins), found here through
# DOCEVENTDLG_ARM64_CACHE as the script keeps it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ARM64)

set(mingw_triple aarch64-w64-mingw32)
if(DEFINED ENV{DOCEVENTDLG_ARM64_CACHE})
  set(arm64_sysroot $ENV{DOCEVENTDLG_ARM64_CACHE}/sysroot)
else()
  set(arm64_sysroot /var/cache/doceventdlg-arm64/sysroot)
endif()
if(NOT EXISTS ${arm64_sysroot}/lib/libmingw32.a)
  message(FATAL_ERROR "No ARM64 MinGW runtime in ${arm64_sysroot}: run bash scripts/arm64.sh runtime first.")
endif()

set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET ${mingw_triple})
set(CMAKE_CXX_COMPILER_TARGET ${mingw_triple})
set(CMAKE_SYSROOT ${arm64_sysroot})
set(CMAKE_AR llvm-ar-14)
set(CMAKE_RANLIB llvm-ranlib-14)

# The resources are compiled by the same windres as for x64, so both
# architectures carry the same templates, pictures and version block; the
# script turns its output into an ARM64 object. Its preprocessor is clang for
# the target.
set(CMAKE_RC_COMPILER ${CMAKE_CURRENT_LIST_DIR}/windres-arm64.sh)
set(CMAKE_RC_FLAGS_INIT
    "--preprocessor=clang-14 --preprocessor-arg=--target=${mingw_triple} --preprocessor-arg=--sysroot=${arm64_sysroot} --preprocessor-arg=-E --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED")

# The library uses only header parts of the C++ library (std::atomic,
# std::unique_ptr, algorithms): those of Debian's x86_64 MinGW-w64 GCC serve,
# as in the x64 clang build; its configuration adapts to the target through
# the compiler's own macros. Nothing of libstdc++ is linked: there is none for
# ARM64.
set(mingw_gcc_dir /usr/lib/gcc/x86_64-w64-mingw32/12-posix)
set(CMAKE_CXX_FLAGS_INIT "-isystem ${mingw_gcc_dir}/include/c++ -isystem ${mingw_gcc_dir}/include/c++/x86_64-w64-mingw32")
set(CMAKE_C_FLAGS_INIT "")

# compiler-rt's builtins instead of libgcc, from the sysroot's own resource
# folder (clang's headers are linked into it), and no C++ library: a program
# that needed one of its compiled parts would fail to link.
set(arm64_runtime_flags "-resource-dir=${arm64_sysroot}/clang")
string(APPEND CMAKE_C_FLAGS_INIT " ${arm64_runtime_flags}")
string(APPEND CMAKE_CXX_FLAGS_INIT " ${arm64_runtime_flags}")
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld --rtlib=compiler-rt --unwindlib=none -nostdlib++")
endforeach()

set(CMAKE_FIND_ROOT_PATH ${arm64_sysroot})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
