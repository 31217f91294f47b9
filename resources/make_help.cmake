# help.utf8.txt (UTF-8, LF) -> help.txt (code page 936, CR LF).
# iconv stops with an error on any character that GBK lacks, and so does the build.
file(READ ${SOURCE} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${CRLF} "${text}")
execute_process(
  COMMAND ${ICONV} -f UTF-8 -t CP936 ${CRLF}
  OUTPUT_FILE ${OUTPUT}.part
  RESULT_VARIABLE result
  ERROR_VARIABLE error)
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT}.part)
  message(FATAL_ERROR "help text is not representable in code page 936: ${error}")
endif()
file(RENAME ${OUTPUT}.part ${OUTPUT})
