#pragma once

#include "controls/ImageLabel.h"
#include "controls/NamedImage.h"
#include "controls/RAZButton.h"
#include "controls/ScreenColors.h"

#include <QColor>
#include <QObject>
#include <QWidget>

#include <functional>

class QLabel;

// The small parts the results screen's rooms build their controls from: the
// screen's colours, a coloured box, a label, a colour button with one of our
// images, a picture, and a hook on a widget's resizes.
namespace ResultsLook {

inline const QColor& screenColor = ScreenColors::screen;
inline const QColor& panelColor = ScreenColors::panel;
inline const QColor barColor(36, 38, 41);
inline const QColor& captionColor = ScreenColors::caption;
inline const QColor textColor(220, 222, 226);
inline const QColor separatorColor(74, 77, 82);

inline QString name(const char* objectName)
{
    return QString::fromLatin1(objectName);
}

// A widget filled with color, named objectName.
QWidget* box(const char* objectName, QWidget* parent, const QColor& color);
QLabel* label(
    const char* objectName, QWidget* parent, int fontSize, bool bold = false, const QColor& color = textColor);

} // namespace ResultsLook

// Runs the work later on the screen's clock (the screen's delayed calls).
using ResultsLater = std::function<void(int milliseconds, std::function<void()> work)>;

// A colour button that also draws one of our images: centred when it has no
// title, before the title otherwise.
class IconButton : public RAZButton {
public:
    using RAZButton::RAZButton;
    void setImageName(const QString& image);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    NamedImage image_;
};

// One of our images scaled into the widget, which lets the mouse through.
class ImageView : public ImageLabel {
public:
    ImageView(const QString& image, QWidget* parent);
};

// Runs its work whenever the watched widget is resized.
class ResizeHook : public QObject {
public:
    ResizeHook(std::function<void()> work, QObject* parent);
    bool eventFilter(QObject*, QEvent* event) override;

private:
    std::function<void()> work_;
};
