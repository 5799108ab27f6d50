#include "editor/app_fonts.h"

#include <QApplication>
#include <QFont>

namespace mw {

void UseApplicationFonts() {
  // Where the system has no "MS Sans Serif", Liberation Sans has the closest widths (the
  // toolbars and dialogs are laid out for them); fontconfig's own choice for the name,
  // usually a much wider face, comes last.
  QFont::insertSubstitutions("MS Sans Serif", {"Liberation Sans", "Arial"});
  // The mark panels' captions ask for "Arial Narrow"; its metric twin is the usual stand-in.
  QFont::insertSubstitution("Arial Narrow", "Liberation Sans Narrow");
  QApplication::setFont(QFont("MS Sans Serif", 8));
}

}  // namespace mw
