#pragma once
// Map text made safe for a web page: valid UTF-8, JSON for a script block, HTML text.

#include <string>
#include <string_view>

namespace mw {

// `text` as valid UTF-8: each byte sequence that is not UTF-8 (a stray byte, a cut or
// overlong sequence, a surrogate) becomes U+FFFD.
std::string ValidUtf8(std::string_view text);

// Appends `text` as a JSON string, quotes included, fit to stand inside a
// <script type="application/json"> block: valid UTF-8, with <, >, &, U+2028 and U+2029
// written as \u escapes and control characters escaped.
void AppendJsonString(std::string& out, std::string_view text);

// `text` as HTML text or a double- or single-quoted attribute value: &, <, >, " and '
// as character references, valid UTF-8.
std::string HtmlEscaped(std::string_view text);

// `text` as a double-quoted attribute value: &, <, > and " as character references,
// single quotes kept (a policy's 'self' stays readable).
std::string DoubleQuotedAttribute(std::string_view text);

// A title as one line: line breaks and tabs become spaces, since a page's title shows
// on one line.
std::string OneLine(std::string_view text);

}  // namespace mw
