#pragma once

#include <QFont>

// The one family every widget draws its text in. It is metric-compatible with
// the family the layouts were measured in, so the widths the screens compute
// from their texts come out the same on every machine.
inline constexpr char applicationFontFamily[] = "Liberation Sans";

// Loads the family from the installed font files and makes it the font of
// every widget (13 points, unhinted so that widths do not depend on the
// machine's hinting). Call once on the GUI thread after the QApplication
// exists and before any window is built. False, with a log line, when the
// family is missing: the program then keeps the platform's default font.
bool installApplicationFont();

// Gives every standard widget (dialogs, preferences panes, alerts, fields)
// the dark look of the program's own screens: the Fusion style with our alert
// icons and one palette of the screens' colours, and every label (alerts' and
// tool tips' included) plain text unless it was made rich on purpose. Call
// once on the GUI thread, before any window is built.
void installApplicationStyle();

// The application family at size points. A point is one logical pixel, as the
// layouts count it, whatever the screen's dots per inch.
QFont systemFontOfSize(int size, QFont::Weight weight = QFont::Normal);
