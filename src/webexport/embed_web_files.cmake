# Writes a C++ source that holds the web player's files as byte arrays, so an export
# needs no files beside the program, and the joined player script for the tests to compare.
# Run as: cmake -DOUTPUT=... -DPLAYER_SCRIPT=... -DWEB_DIR=... -P this.

# The player's script is its parts, in the order of parts.txt, joined inside one function
# so that they share one scope and leave nothing in the page's global one.
file(STRINGS ${WEB_DIR}/player/parts.txt parts)
set(script "// The web player: plays an exported map in the page that holds it, as the desktop player\n")
string(APPEND script "// does. Made from the files of web/player/ when MarkWeaver was built.\n")
string(APPEND script "(function () {\n'use strict';\n")
foreach(part IN LISTS parts)
  file(READ ${WEB_DIR}/player/${part} text)
  string(REGEX REPLACE "^// @ts-check\n" "" text "${text}")
  string(APPEND script "\n${text}")
endforeach()
string(APPEND script "})();\n")
file(WRITE ${PLAYER_SCRIPT}.new "${script}")
file(COPY_FILE ${PLAYER_SCRIPT}.new ${PLAYER_SCRIPT} ONLY_IF_DIFFERENT)
file(REMOVE ${PLAYER_SCRIPT}.new)

set(files ${WEB_DIR}/page.html ${PLAYER_SCRIPT} ${WEB_DIR}/player.css)
set(symbols kPageTemplate kPlayerScript kPlayerStyle)
set(body "// Made by embed_web_files.cmake from the files of web/: do not edit.\n")
string(APPEND body "#include \"webexport/web_assets.h\"\n\nnamespace mw {\n\nnamespace {\n\n")
foreach(file symbol IN ZIP_LISTS files symbols)
  file(READ ${file} hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  # Lines of 16 bytes keep the source readable by compilers and people.
  string(REGEX REPLACE "(('[^']+',){16})" "\\1\n" bytes "${bytes}")
  string(APPEND body "const char ${symbol}Bytes[${size} + 1] = {\n${bytes}'\\0'};\n\n")
endforeach()
string(APPEND body "}  // namespace\n\n")
string(APPEND body "std::string_view PageTemplate() { return {kPageTemplateBytes, sizeof kPageTemplateBytes - 1}; }\n")
string(APPEND body "std::string_view PlayerScript() { return {kPlayerScriptBytes, sizeof kPlayerScriptBytes - 1}; }\n")
string(APPEND body "std::string_view PlayerStyle() { return {kPlayerStyleBytes, sizeof kPlayerStyleBytes - 1}; }\n")
string(APPEND body "\n}  // namespace mw\n")
file(WRITE ${OUTPUT}.new "${body}")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
