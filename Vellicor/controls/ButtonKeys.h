#pragma once

#include <QColor>
#include <QRectF>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QAbstractButton;
class QKeyEvent;
class QPainter;
class QWidget;

// Keyboard use of the program's own buttons: the ring a focused button draws
// and the keys that press it. GUI thread only.

// The ring's colour: the light blue of the screens' own buttons, which reads
// on the dark screens and on the blue buttons alike.
QColor focusRingColour();
// The same ring for push buttons drawn by a style sheet: a rule to append.
// blueState names the state (":default", ":checked") in which the style
// sheet paints the button blue; the ring is white then, to read on it.
QString focusRingStyleSheet(const QString& blueState = QString());

// Draws the focus ring just inside widget's edge when the widget has the
// keyboard focus; nothing otherwise. radius rounds the ring's corners. A
// button whose face the ring's blue does not stand out on (the blue and green
// buttons) gives its face: a second ring, white (black on a face too light
// for white), is drawn inset on it.
void drawFocusRingIfFocused(
    QPainter& painter, const QWidget* widget, qreal radius, const std::optional<QColor>& face = std::nullopt);
// The same ring around frame: the current row or item of a focused list.
void drawFocusRing(QPainter& painter, const QRectF& frame, qreal radius);

// The contrast ratio of two colours, from 1 (alike) to 21 (black on white),
// as the accessibility guidelines measure it.
double contrastRatio(const QColor& a, const QColor& b);

// Tab and Shift+Tab go through controls (one row of a screen) in the order
// they are drawn, left to right; the leftmost keeps its place in the window's
// chain and the others follow it.
void chainLeftToRight(std::vector<QWidget*> controls);
// Tab and Shift+Tab go through controls (all of a window's) in the order they
// are drawn: top to bottom, and along a row left to right.
void chainAsDrawn(std::vector<QWidget*> controls);

// The keys that open the context menu of a view's selection: the Menu key
// and Shift+F10.
bool isContextMenuKey(const QKeyEvent* event);
// Space alone: the key that toggles the check boxes of a view's selection.
bool isCheckKey(const QKeyEvent* event);
// A list's own keys: a context-menu key runs openMenu, Space runs check;
// true when the key was one of them (and taken).
bool takeListKey(QKeyEvent* event, const std::function<void()>& openMenu, const std::function<void()>& check);

// Return and Enter (either keypad) without auto-repeat: the keys that press a
// focused button besides Space.
bool isEnterKey(const QKeyEvent* event);

// For the colour, link and check-box buttons (Qt's own press sequence): Enter
// clicks an enabled button; true when the key was taken.
bool clickOnEnter(QAbstractButton* button, QKeyEvent* event);

// Marks button as the default of the sheet or window it stands in: Enter
// pressed anywhere in that window, outside another button, presses it.
void setDefaultButton(QAbstractButton* button);
bool isDefaultButton(const QWidget* widget);
// The window's default button that is shown and enabled, if any.
QAbstractButton* defaultButtonIn(QWidget* window);
