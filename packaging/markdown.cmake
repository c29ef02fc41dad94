# Renders one Markdown document of docs/ as a page of its own:
#   cmake -DCMARK=cmark-gfm -DINPUT=FILE.md -DOUTPUT=FILE.html -P markdown.cmake
# Links to the other documents (NAME.md) point to their pages (NAME.html), so that the installed
# guide can be read in a browser.
execute_process(
  COMMAND "${CMARK}" --to html -e table -e autolink -e strikethrough "${INPUT}"
  OUTPUT_VARIABLE body
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${CMARK} could not render ${INPUT}")
endif()
string(REGEX REPLACE "href=\"([A-Za-z0-9_.-]+)\\.md([#\"])" "href=\"\\1.html\\2" body "${body}")

file(STRINGS "${INPUT}" heading LIMIT_COUNT 1 REGEX "^# ")
string(REGEX REPLACE "^# +" "" title "${heading}")
string(REPLACE "&" "&amp;" title "${title}")
string(REPLACE "<" "&lt;" title "${title}")
string(REPLACE "`" "" title "${title}")

file(WRITE "${OUTPUT}" "<!DOCTYPE html>
<html lang=\"en\">
<head>
<meta charset=\"utf-8\">
<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">
<title>${title}</title>
<style>
body { font-family: sans-serif; line-height: 1.45; max-width: 60em; margin: 1em auto; padding: 0 1em; color: #1f2328; }
code, pre { font-family: monospace; background: #f3f4f6; }
pre { padding: 0.6em; overflow-x: auto; }
table { border-collapse: collapse; }
th, td { border: 1px solid #c8ccd2; padding: 0.25em 0.5em; text-align: left; vertical-align: top; }
img { max-width: 100%; }
</style>
</head>
<body>
${body}</body>
</html>
")
