#pragma once

#include "controls/NamedImage.h"

#include <QColor>
#include <QLabel>
#include <QString>

#include <initializer_list>
#include <utility>

class QFrame;

// The pieces the home screen's parts are built from: its colours, its boxes
// and labels, and a picture of one of our named images. Every control gets
// the object name the frame table and the language rules know it by.

namespace HomeLook {
inline const QColor screen(29, 29, 29);
inline const QColor panel(41, 43, 46);
inline const QColor caption(160, 163, 168);
inline const QColor tabTextOff(140, 140, 140);
} // namespace HomeLook

inline QString homeName(const char* objectName)
{
    return QString::fromLatin1(objectName);
}

// A filled frame with rounded corners (and a border, when one is given).
QFrame* makeHomeBox(
    const char* objectName, QWidget* parent, const QColor& fill, int radius = 6, const QColor& border = {});
// A white label in the screens' font.
QLabel* makeHomeLabel(const char* objectName, QWidget* parent, int fontSize = 13, bool bold = false);
// The label's text in another colour.
void setLabelColor(QLabel* label, const QColor& color);
// Gives each label below root, by object name, the text of its language key.
void setLocalizedTexts(QWidget* root, std::initializer_list<std::pair<const char*, const char*>> labelKeys);

// A picture drawn from one of our named images, scaled to the label.
class ImageLabel : public QLabel {
public:
    ImageLabel(const QString& image, QWidget* parent);
    // The image under objectName, in a label of that name.
    static ImageLabel* make(const char* objectName, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    NamedImage image_;
};
