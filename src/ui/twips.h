#pragma once

#include <QWidget>

#include <algorithm>
#include <climits>

// Window sizes are stored and laid out in twips (1440 an inch), converted
// at the screen's logical density, so a size keeps its physical extent.
namespace Twips {

// In 64 bits, within what an int holds: a size read from an edited settings
// file must not overflow.
inline int toPixels(int twips, const QWidget& widget) {
    return int(std::clamp<qint64>(qint64(twips) * widget.logicalDpiY() / 1440, INT_MIN, INT_MAX));
}

inline int fromPixels(int pixels, const QWidget& widget) {
    return int(std::clamp<qint64>(qint64(pixels) * 1440 / widget.logicalDpiY(), INT_MIN, INT_MAX));
}

} // namespace Twips
