# What a driver team receives. `cmake --install <tree> --prefix <dir>` lays out
#   bin/                     doceventdlg.dll and its PDB
#   lib/                     doceventdlg.lib (Microsoft's linker), libdoceventdlg.dll.a (MinGW)
#   include/                 doceventdlg.h
#   lib/cmake/doceventdlg/   package configuration: find_package(doceventdlg CONFIG)
#   share/doceventdlg/       the sample string library with its script, IDs and guide
# and `cpack` packs the same into doceventdlg-<version>-win64.zip (x64) or
# doceventdlg-<version>-arm64.zip (ARM64) with a SHA-256 sum beside it. Test
# programs and tools are not installed.
include(CMakePackageConfigHelpers)

# Both import libraries come from the export table itself, so every export
# appears in them by name with its ordinal as the hint.
find_program(LLVM_DLLTOOL NAMES llvm-dlltool-14 llvm-dlltool REQUIRED)
set(export_table ${PROJECT_SOURCE_DIR}/oemui/doceventdlg/doceventdlg.def)
set(import_library_dir ${CMAKE_BINARY_DIR}/lib)
set(import_libraries ${import_library_dir}/doceventdlg.lib ${import_library_dir}/libdoceventdlg.dll.a)
add_custom_command(OUTPUT ${import_libraries}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${import_library_dir}
  COMMAND ${LLVM_DLLTOOL} -m ${DOCEVENTDLG_DLLTOOL_MACHINE} -d ${export_table} -l ${import_library_dir}/doceventdlg.lib
  COMMAND ${LLVM_DLLTOOL} -m ${DOCEVENTDLG_DLLTOOL_MACHINE} -d ${export_table} -l ${import_library_dir}/libdoceventdlg.dll.a
  DEPENDS ${export_table}
  COMMENT "Import libraries from doceventdlg.def"
  VERBATIM)
add_custom_target(doceventdlg_import_libraries ALL DEPENDS ${import_libraries})

install(FILES $<TARGET_FILE:doceventdlg> DESTINATION bin)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  install(FILES $<TARGET_FILE_DIR:doceventdlg>/doceventdlg.pdb DESTINATION bin)
endif()
install(FILES ${import_libraries} DESTINATION lib)
install(FILES ${PROJECT_SOURCE_DIR}/oemui/doceventdlg/include/doceventdlg.h DESTINATION include)

# The version file also turns the package down for a consumer of the other
# architecture, so find_package goes on to the next prefix: with both
# packages on CMAKE_PREFIX_PATH each consumer gets the library of its own.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/doceventdlgConfigVersionNumber.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
configure_file(${PROJECT_SOURCE_DIR}/packaging/doceventdlgConfigVersion.cmake.in
               ${CMAKE_BINARY_DIR}/doceventdlgConfigVersion.cmake @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/doceventdlgConfig.cmake.in
               ${CMAKE_BINARY_DIR}/doceventdlgConfig.cmake @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/doceventdlgConfig.cmake
              ${CMAKE_BINARY_DIR}/doceventdlgConfigVersion.cmake
              ${CMAKE_BINARY_DIR}/doceventdlgConfigVersionNumber.cmake
              ${PROJECT_SOURCE_DIR}/packaging/doceventdlgArchitecture.cmake
        DESTINATION lib/cmake/doceventdlg)

install(FILES $<TARGET_FILE:doceventdlg-strings>
              ${PROJECT_SOURCE_DIR}/samples/strings/doceventdlg-strings.rc
              ${PROJECT_SOURCE_DIR}/samples/strings/sample_string_ids.h
        DESTINATION share/doceventdlg)
install(FILES ${PROJECT_SOURCE_DIR}/samples/strings/README.md
        DESTINATION share/doceventdlg RENAME README-strings.md)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/README.md DESTINATION share/doceventdlg)

# The archive. Its entries carry one fixed time (the commit's, or
# SOURCE_DATE_EPOCH when set), so two builds of a commit give the same ZIP.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(package_time $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git log -1 --format=%ct
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE package_time OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE git_result ERROR_QUIET)
  if(NOT git_result EQUAL 0 OR package_time STREQUAL "")
    set(package_time 315532800)  # 1980-01-01, the earliest time a ZIP entry holds
  endif()
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME doceventdlg)
set(CPACK_PACKAGE_VENDOR Velmoracrestwyn)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
if(DOCEVENTDLG_ARCHITECTURE STREQUAL "x64")
  set(CPACK_PACKAGE_FILE_NAME doceventdlg-${PROJECT_VERSION}-win64)
else()
  set(CPACK_PACKAGE_FILE_NAME doceventdlg-${PROJECT_VERSION}-${DOCEVENTDLG_ARCHITECTURE})
endif()
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_DOCEVENTDLG_PACKAGE_TIME ${package_time})
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/NormalizeStaging.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/SortArchive.cmake)
include(CPack)
