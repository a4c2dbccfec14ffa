# commit_time.cmake --- notes the time of the commit being built, which dates every file of a
# release (the PE time stamps, the files in the setups and zips), in a file of the build tree
# that those steps depend on; the file changes only when that time does.
#
# cmake -DSOURCE_DIR=<sources> -DOUT=<file> -P commit_time.cmake
# SOURCE_DATE_EPOCH, where set, is taken as the commit's time, as reproducible builds agree;
# otherwise git gives it. Sources without either are dated once, at their first build.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(when "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git -C "${SOURCE_DIR}" log -1 --format=%ct
                  OUTPUT_VARIABLE when OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(failed OR when STREQUAL "")
    if(EXISTS "${OUT}")
      return()
    endif()
    string(TIMESTAMP when "%s" UTC)
    message(STATUS "No commit to date this build by: dated now. Set SOURCE_DATE_EPOCH to date it.")
  endif()
endif()
if(NOT when MATCHES "^[0-9]+$")
  message(FATAL_ERROR "The commit's time is a count of seconds since 1970, not \"${when}\"")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/write_if_changed.cmake)
write_if_changed("${OUT}" "${when}")
