# _doceventdlg_consumer_architecture(<result>): the Windows machine the
# consuming project builds for, x64 or arm64 (anything else as CMake names
# it). The compiler's architecture ID comes first where CMake has one
# (Microsoft's compiler, clang-cl); otherwise the target processor, which a
# cross toolchain file sets and a native build takes from the host. An
# ARM64EC program loads x64 DLLs, so it counts as x64.
function(_doceventdlg_consumer_architecture result)
  set(architecture "")
  foreach(language CXX C)
    if(architecture STREQUAL "" AND CMAKE_${language}_COMPILER_ARCHITECTURE_ID)
      set(architecture "${CMAKE_${language}_COMPILER_ARCHITECTURE_ID}")
    endif()
  endforeach()
  if(architecture STREQUAL "")
    set(architecture "${CMAKE_SYSTEM_PROCESSOR}")
  endif()
  string(TOLOWER "${architecture}" architecture)
  if(architecture MATCHES "^(arm64|aarch64)$")
    set(architecture arm64)
  elseif(architecture MATCHES "^(x64|amd64|x86_64|arm64ec)$")
    set(architecture x64)
  endif()
  set(${result} "${architecture}" PARENT_SCOPE)
endfunction()
