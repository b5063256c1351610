#pragma once

#include <QIcon>

namespace quindra {

// Drawn icons, so the program carries no image files.
QIcon PowerIcon();
QIcon DocumentIcon();
QIcon TrayIconFrame(int frame);
// The tray menu's glyphs: 0 "Maximizar", 1 "Minimizar", 2 "Fechar", 3 "Manual".
QIcon MenuGlyph(int glyph);

}  // namespace quindra
