# Run by CPack after the archive is written and before its checksum: CPack
# stores the entries in the order the file system lists them, which differs
# from one file system to the next. The archive is written again from the
# same staged files, in sorted order (their times and permissions were fixed
# before staging ended).
get_filename_component(staging_parent "${CPACK_TEMPORARY_INSTALL_DIRECTORY}" DIRECTORY)
get_filename_component(top_folder "${CPACK_TEMPORARY_INSTALL_DIRECTORY}" NAME)
file(GLOB_RECURSE staged_files RELATIVE "${staging_parent}" "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
list(SORT staged_files)
list(JOIN staged_files "\n" file_list)
file(WRITE "${staging_parent}/sorted-files.txt" "${file_list}\n")
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  file(REMOVE "${package}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf "${package}" --format=zip
                          --files-from=sorted-files.txt
                  WORKING_DIRECTORY "${staging_parent}" RESULT_VARIABLE tar_result)
  if(NOT tar_result EQUAL 0)
    message(FATAL_ERROR "could not write ${package}")
  endif()
endforeach()
