# find_package(doceventdlg CONFIG REQUIRED) gives the imported target
# doceventdlg::doceventdlg: the DLL, the import library for the consumer's
# linker and the public header. doceventdlg_SAMPLES_DIR names the folder of
# the sample string library, its IDs header and its guide.
get_filename_component(_doceventdlg_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

if(NOT TARGET doceventdlg::doceventdlg)
  # Microsoft's linker (and clang-cl) reads doceventdlg.lib; MinGW linkers read
  # libdoceventdlg.dll.a.
  if(MSVC)
    set(_doceventdlg_import_library "${_doceventdlg_prefix}/lib/doceventdlg.lib")
  else()
    set(_doceventdlg_import_library "${_doceventdlg_prefix}/lib/libdoceventdlg.dll.a")
  endif()
  add_library(doceventdlg::doceventdlg SHARED IMPORTED)
  set_target_properties(doceventdlg::doceventdlg PROPERTIES
    IMPORTED_LOCATION "${_doceventdlg_prefix}/bin/doceventdlg.dll"
    IMPORTED_IMPLIB "${_doceventdlg_import_library}"
    INTERFACE_INCLUDE_DIRECTORIES "${_doceventdlg_prefix}/include")
  unset(_doceventdlg_import_library)
endif()

set(doceventdlg_SAMPLES_DIR "${_doceventdlg_prefix}/share/doceventdlg")
unset(_doceventdlg_prefix)
