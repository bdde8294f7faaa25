#pragma once

#include "controls/LayoutFrame.h"

#include <QColor>
#include <QPushButton>
#include <QString>

class QKeyEvent;
class QLabel;
class QWidget;
class RAZButton;

// The pieces the empty-folder sheet is built from: its colours, its round
// close mark, its framed boxes and buttons, and the frames that place them.
// Every control gets the object name the frame table knows it by.
namespace EmptyFolderLook {

inline const QColor panelColor { 38, 39, 41 };
inline const QColor tabFaceColor { 48, 49, 52 };
inline const QColor lineColor { 78, 80, 84 };
inline const QColor captionIdle = QColor::fromRgbF(140 / 255.0, 140 / 255.0, 140 / 255.0, 1.0);

// A push button of the sheet that Enter presses only while it has the keys.
// Qt would make a dialog's push button, once focused, the window's default,
// which Enter pressed anywhere in the window then presses.
class SheetPushButton : public QPushButton {
public:
    explicit SheetPushButton(QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The round close mark of the sheet's upper right corner.
class CloseMarkButton : public SheetPushButton {
public:
    explicit CloseMarkButton(QWidget* parent);

protected:
    void paintEvent(QPaintEvent*) override;
};

// The style sheet of the frame called name: filled, with a border of the
// sheet's line colour, open at the bottom when asked.
QString frameStyle(const QString& name, const QColor& fill, double borderWidth, bool openBottom = false);
void setCaptionColor(QLabel* caption, const QColor& color);

template <typename T> T* named(QWidget* parent, const char* name)
{
    auto* widget = new T(parent);
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// A button of the sheet: the primary one in the home screen's style, the
// others in the result screen's.
RAZButton* actionButton(QWidget* parent, const char* name, const QString& title, bool primary);

// The sheet's frames, in points from each parent's lower left.
FrameTable sheetFrames();

} // namespace EmptyFolderLook
