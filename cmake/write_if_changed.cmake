# write_if_changed.cmake --- writes a note into a file of the build tree only when what it says
# changes, so that the build steps depending on the file run again exactly then.
function(write_if_changed file text)
  if(EXISTS "${file}")
    file(READ "${file}" before)
    if(before STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE "${file}" "${text}")
endfunction()
