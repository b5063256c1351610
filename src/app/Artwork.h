#pragma once

#include <QIcon>

namespace quindra {

// Drawn icons, so the program carries no image files.
QIcon PowerIcon();
QIcon DocumentIcon();
QIcon TrayIconFrame(int frame);

}  // namespace quindra
