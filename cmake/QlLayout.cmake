# ql_add_subfolders(): adds every direct subfolder that has a CMakeLists.txt,
# so a new component folder needs no edit of its parent.
function(ql_add_subfolders)
  file(GLOB dirs LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(d IN LISTS dirs)
    if(IS_DIRECTORY ${d} AND EXISTS ${d}/CMakeLists.txt)
      add_subdirectory(${d})
    endif()
  endforeach()
endfunction()
