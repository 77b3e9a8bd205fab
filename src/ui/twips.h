#pragma once

#include <QWidget>

// Window sizes are stored and laid out in twips (1440 an inch), converted
// at the screen's logical density, so a size keeps its physical extent.
namespace Twips {

inline int toPixels(int twips, const QWidget& widget) {
    return twips * widget.logicalDpiY() / 1440;
}

inline int fromPixels(int pixels, const QWidget& widget) {
    return pixels * 1440 / widget.logicalDpiY();
}

} // namespace Twips
