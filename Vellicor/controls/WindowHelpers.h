#pragma once

#include <QPoint>
#include <QString>

#include <optional>

class QAbstractButton;
class QLabel;
class QRect;
class QSize;
class QTableView;
class QTreeView;
class QWidget;

// Window and control helpers of the screens; GUI thread only.

// Centres window over parent and shows it. Alerts and sheets stand 60 points
// below the exact centre on the newer systems the program follows (the gap
// the title bar makes there). Does nothing when either is absent.
void centerWindowOnWindow(QWidget* window, QWidget* parent);

// Keeps screen, a screen laid over another one, at the size of its parent:
// on every change of the parent's size and whenever screen is shown, so a
// screen shown after the window changed size takes the window's size. The
// watch ends with either widget.
void keepParentSize(QWidget* screen);

// The title bar and borders the window system draws around window, a
// top-level window: as the system reported them, or a usual allowance while
// it has reported none (before the window is first shown, or a system that
// never tells).
QSize windowDecoration(const QWidget* window);
// Where window's contents stand within its frame (the left border and the
// title bar), known or allowed for as windowDecoration is.
QPoint contentsOffset(const QWidget* window);

// frame moved onto available as far as it fits there: an edge that would run
// off comes back in. A frame larger than available keeps its top left corner,
// and with it the title bar, on it.
QRect frameKeptWithin(QRect frame, const QRect& available);

// geometry (the frame's position and the content's size, as move() and
// resize() take them) of window, moved so that its frame lies on the
// available area of the screen under it: the panels and docks stay clear.
QRect keptOnScreen(const QWidget* window, const QRect& geometry);

// Escape and the close shortcut (Ctrl+W) close window, as they end a sheet.
void installCloseKeys(QWidget* window);

// The width of a label's text in its font, plus 10 and at least 25; 25 for
// no label or an empty text. Layout passes size controls with it.
double textWidthOfControl(const QLabel* control);
// The same for a button's title.
double textWidthOfButtonTitle(const QAbstractButton* button);

// Sets the header title and tool tip of column (an empty text for none), then
// widens or narrows the columns whose titles are too long in some languages.
// A missing table or an index outside its columns does nothing. The header
// texts go through the model's setHeaderData.
void localizeTableColumnHeaders(const std::optional<QString>& title, int column, QTableView* table);
void localizeTableColumnHeaders(const std::optional<QString>& title, int column, QTreeView* outline);
