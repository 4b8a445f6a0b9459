# Run by CPack between staging and archiving: every entry of the staging tree
# gets the same time and the same permissions, so the archive depends only on
# the files' names and contents.
set(package_time ${CPACK_DOCEVENTDLG_PACKAGE_TIME})
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(package_time $ENV{SOURCE_DATE_EPOCH})
endif()
file(GLOB_RECURSE staged_files "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
file(GLOB_RECURSE staged_entries LIST_DIRECTORIES true "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
set(staged_folders ${staged_entries})
if(staged_files)
  list(REMOVE_ITEM staged_folders ${staged_files})
  file(CHMOD ${staged_files} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()
if(staged_folders)
  file(CHMOD ${staged_folders} DIRECTORY_PERMISSIONS
       OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endif()
execute_process(COMMAND touch -h -d @${package_time} ${staged_entries} "${CPACK_TEMPORARY_INSTALL_DIRECTORY}"
                RESULT_VARIABLE touch_result)
if(NOT touch_result EQUAL 0)
  message(FATAL_ERROR "could not set the times of the staged files")
endif()
