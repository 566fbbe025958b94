# Run by CPack between its staging install and the package: the staged folders were made under
# the packager's umask, and the package gives every folder 0755 whatever that was.
file(GLOB_RECURSE folders LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(folder IN LISTS folders ITEMS "${CPACK_TEMPORARY_DIRECTORY}")
    if(IS_DIRECTORY "${folder}" AND NOT IS_SYMLINK "${folder}")
        file(CHMOD "${folder}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
            GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    endif()
endforeach()
