# check_published.cmake --- the girl maker page in docs/, which the README offers to authors, is
# the very page this build makes. Usage: cmake -DBUILT=<page> -DPUBLISHED=<page> -P check_published.cmake
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${PUBLISHED} ${BUILT} RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "docs/lumidoll-maker.html is not the page this build makes (${BUILT}): "
                      "./run docs puts the built page there")
endif()
