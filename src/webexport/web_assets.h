#pragma once
// The web player's own files, built into the program from the folder web/.

#include <string_view>

namespace mw {

// page.html: the page template with its tokens (@CSP@, @TITLE@, ...), each on a line
// of its own.
std::string_view PageTemplate();
// player.js: the player's script, joined from web/player/ in the order of its parts.txt,
// copied unchanged into a folder export.
std::string_view PlayerScript();
// player.css: the player's style, copied unchanged into a folder export.
std::string_view PlayerStyle();

}  // namespace mw
