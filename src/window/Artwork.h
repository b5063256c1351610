#pragma once

#include <QIcon>

class QPainter;

namespace quindra {

// Drawn icons, so the program carries no image files.
QIcon PowerIcon();
QIcon DocumentIcon();
QIcon TrayIconFrame(int frame);
// The tray menu's glyphs: 0 "Maximizar", 1 "Minimizar", 2 "Fechar", 3 "Manual".
QIcon MenuGlyph(int glyph);

// The program's own icon: the tray's speaker with its three waves on a
// rounded tile, drawn into a square of `size` at the painter's origin. Used
// for the window, the desktop menu and the installed icon files.
void PaintProgramIcon(QPainter& p, qreal size);
QIcon ProgramIcon();
// The same icon marked off air: faded, with a red "no entry" badge.
QIcon OffAirIcon(const QIcon& icon);

}  // namespace quindra
