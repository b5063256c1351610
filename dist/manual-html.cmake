# Writes the manual page's HTML form: cmake -DGROFF= -DPAGE= -DOUT= -P manual-html.cmake
execute_process(
  COMMAND ${GROFF} -man -Kutf8 -Thtml -P-l -P-r ${PAGE}
  OUTPUT_VARIABLE html
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "groff could not write the manual's HTML form (${status})")
endif()
# groff stamps the time it ran; without that line every build gives the same file.
string(REGEX REPLACE "<!-- CreationDate:[^\n]*\n" "" html "${html}")
file(WRITE ${OUT} "${html}")
