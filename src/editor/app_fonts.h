#pragma once
// The fonts the editor's windows are laid out for.

namespace mw {

// Makes "MS Sans Serif" 8 pt the application font and gives it and "Arial Narrow"
// their closest stand-ins where the system lacks them. Call once the application exists.
void UseApplicationFonts();

}  // namespace mw
