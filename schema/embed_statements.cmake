# Embeds an SQL file as a list of statements: cmake -DSQL=<file>
# -DFUNCTION=<name> -DHEADER=<header> -DOUT=<file.cpp> -P embed_statements.cmake
# writes `QStringList schema::<name>()`, one string per statement. A line
# holding only "-- ;;" ends a statement, so a statement may hold semicolons
# of its own (a function body). Lines that are only a comment are left out;
# a part with nothing else in it (the file's head, a section title) is no
# statement.
#
# The text is cut with string(FIND)/string(SUBSTRING) only: a CMake list
# would split the SQL at its semicolons.
file(READ ${SQL} text)
string(REPLACE "\r\n" "\n" text "${text}")
set(marker "\n-- ;;\n")
set(text "\n${text}\n")
set(body "")
set(count 0)
while(NOT text STREQUAL "")
  string(FIND "${text}" "${marker}" at)
  if(at EQUAL -1)
    set(part "${text}")
    set(text "")
  else()
    string(SUBSTRING "${text}" 0 ${at} part)
    math(EXPR rest "${at} + 6") # the next part starts with the marker's line end
    string(SUBSTRING "${text}" ${rest} -1 text)
  endif()
  # Drop whole-line comments: every line starts after a line end here.
  string(REGEX REPLACE "\n[ \t]*--[^\n]*" "" part "\n${part}")
  string(STRIP "${part}" part)
  if(NOT part STREQUAL "")
    if(part MATCHES "\\)vovsql\"")
      message(FATAL_ERROR "${SQL}: a statement holds the embedding's delimiter")
    endif()
    string(APPEND body "        QString::fromUtf8(R\"vovsql(${part})vovsql\"),\n")
    math(EXPR count "${count} + 1")
  endif()
endwhile()
if(count EQUAL 0)
  message(FATAL_ERROR "${SQL}: no statement")
endif()
file(WRITE ${OUT} "#include \"${HEADER}\"\n\nnamespace schema {\n\n"
  "QStringList ${FUNCTION}()\n{\n    return {\n${body}    };\n}\n\n} // namespace schema\n")
