# Writes the help page installed beside quorvane.dll from the README's "Query
# language" section: its table and paragraphs as HTML, so the product carries
# the same text the README holds.
# usage: cmake -DREADME=<README.md> -DOUTPUT=<quorvane-help.htm> -P MakeHelpPage.cmake

file(READ ${README} readme)
string(FIND "${readme}" "\n### Query language\n" start)
if(start EQUAL -1)
  message(FATAL_ERROR "README.md has no \"### Query language\" section")
endif()
string(SUBSTRING "${readme}" ${start} -1 section)
string(SUBSTRING "${section}" 1 -1 section)
string(FIND "${section}" "\n#" end)
if(NOT end EQUAL -1)
  string(SUBSTRING "${section}" 0 ${end} section)
endif()

# Text first made safe for HTML and for CMake lists (entities go in at the
# end: they hold semicolons), then marked up.
string(REPLACE "&" "@QV_AMP@" section "${section}")
string(REPLACE "<" "@QV_LT@" section "${section}")
string(REPLACE ">" "@QV_GT@" section "${section}")
string(REPLACE ";" "@QV_SEMI@" section "${section}")
string(REPLACE "\\|" "@QV_PIPE@" section "${section}")
string(REPLACE "[" "@QV_OPEN@" section "${section}")
string(REPLACE "]" "@QV_CLOSE@" section "${section}")
string(REGEX REPLACE "`([^`]*)`" "<code>\\1</code>" section "${section}")
string(REPLACE "\n" ";" lines "${section}")

set(body "")
set(paragraph "")
set(row 0)
foreach(line IN LISTS lines)
  if(line MATCHES "^### (.*)$")
    string(APPEND body "<h1>${CMAKE_MATCH_1}</h1>\n")
  elseif(line MATCHES "^\\|")
    if(paragraph)
      string(APPEND body "<p>${paragraph}</p>\n")
      set(paragraph "")
    endif()
    if(line MATCHES "^\\| *---")
      continue()
    endif()
    string(REGEX REPLACE "^\\| *(.*[^ ]) *\\|$" "\\1" cells "${line}")
    string(REGEX REPLACE " *\\| *" ";" cells "${cells}")
    if(row EQUAL 0)
      string(APPEND body "<table>\n<tr>")
      foreach(cell IN LISTS cells)
        string(APPEND body "<th>${cell}</th>")
      endforeach()
    else()
      string(APPEND body "<tr>")
      foreach(cell IN LISTS cells)
        string(APPEND body "<td>${cell}</td>")
      endforeach()
    endif()
    string(APPEND body "</tr>\n")
    math(EXPR row "${row} + 1")
  else()
    if(row GREATER 0)
      string(APPEND body "</table>\n")
      set(row 0)
    endif()
    string(STRIP "${line}" text)
    if(text STREQUAL "")
      if(paragraph)
        string(APPEND body "<p>${paragraph}</p>\n")
        set(paragraph "")
      endif()
    elseif(paragraph)
      string(APPEND paragraph " ${text}")
    else()
      set(paragraph "${text}")
    endif()
  endif()
endforeach()
if(row GREATER 0)
  string(APPEND body "</table>\n")
endif()
if(paragraph)
  string(APPEND body "<p>${paragraph}</p>\n")
endif()

foreach(entity "AMP:&amp" "LT:&lt" "GT:&gt" "SEMI:&#59" "PIPE:&#124" "OPEN:&#91" "CLOSE:&#93")
  string(REPLACE ":" ";" pair "${entity}")
  list(GET pair 0 token)
  list(GET pair 1 text)
  string(REPLACE "@QV_${token}@" "${text}@QV_END@" body "${body}")
endforeach()
string(REPLACE "@QV_END@" ";" body "${body}")

file(WRITE ${OUTPUT} "<!DOCTYPE html>
<html lang=\"en\"><head><meta charset=\"utf-8\"><title>quorvane: query language</title>
<style>
body { font-family: Segoe UI, Tahoma, sans-serif; margin: 2em; max-width: 60em; line-height: 1.4; }
table { border-collapse: collapse; } th, td { border: 1px solid #bbb; padding: 0.3em 0.6em; text-align: left; vertical-align: top; }
code { font-family: Consolas, monospace; background: #f3f3f3; }
</style></head><body>
<p>A search folder's search string (in its Properties) is read in this language.</p>
${body}<h2>Problems</h2>
<p>The index tool, <code>quorvane-index.exe</code> beside this page, shows what is indexed
(<code>quorvane-index status</code>) and what a query finds
(<code>quorvane-index query TEXT</code>, which also names what it read literally).</p>
</body></html>
")
