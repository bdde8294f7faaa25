#pragma once

#include <QColor>

// The colours every screen's surfaces share: the screen behind everything,
// the panels on it, and the captions' grey.
namespace ScreenColors {
inline const QColor screen(29, 29, 29);
inline const QColor panel(41, 43, 46);
inline const QColor caption(160, 163, 168);
} // namespace ScreenColors
