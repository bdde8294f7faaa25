#pragma once

#include "controls/ImageLabel.h"
#include "controls/ScreenColors.h"

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
using ScreenColors::caption;
using ScreenColors::panel;
using ScreenColors::screen;
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
