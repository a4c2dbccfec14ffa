# at_commit_time.cmake --- runs one build step with SOURCE_DATE_EPOCH set to the commit's time:
# the linker (ld takes it for the PE time stamp), makensis and the release's packager.
#
# cmake -P at_commit_time.cmake -- <file written by commit_time.cmake> <command> [arguments...]
# The command's own arguments must hold no ";", which CMake reads as a list separator.
file(READ "${CMAKE_ARGV4}" when)
set(ENV{SOURCE_DATE_EPOCH} "${when}")
set(command)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE 5 ${last})
  list(APPEND command "${CMAKE_ARGV${i}}")
endforeach()
execute_process(COMMAND ${command} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${status}")
endif()
