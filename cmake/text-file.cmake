# Writes a text for a Windows reader, every line ending in CR LF: the file
# IN as it is, or, with MANDOC set, the manual page IN rendered as plain text
# (the terminal's overstrikes for bold and underline taken out).
#   cmake [-D MANDOC=path -D OS=name] -D IN=file -D OUT=file -P text-file.cmake
if(MANDOC)
  execute_process(COMMAND ${MANDOC} -T ascii -I "os=${OS}" ${IN}
    OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "mandoc could not render ${IN}")
  endif()
  string(ASCII 8 backspace)
  string(REGEX REPLACE "[^\n]${backspace}" "" text "${text}")
else()
  file(READ ${IN} text)
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
