#pragma once

#include <QIcon>

namespace pelmora {

// The program's own icon (window, task bar and tray), drawn from the SVG in the library's
// resources at the usual icon sizes.
QIcon PelmoraIcon();

}  // namespace pelmora
