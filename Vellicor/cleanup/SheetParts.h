#pragma once

#include <QFont>
#include <QRect>
#include <QString>

#include <utility>
#include <vector>

class GradientBox;
class IMGButton;
class QFrame;
class QLabel;
class QWidget;

// The parts every sheet of the clean-up is built from, so that they look
// alike. GUI thread.
inline constexpr int sheetWidth = 500;
inline constexpr int sheetHeaderHeight = 46;

// The dark box the sheet stands in, filling window, which takes its size.
QFrame* makeSheetBox(QWidget* window, const char* name, int height);
// The gradient title bar at the top of box; title receives its label.
GradientBox* makeHeader(QFrame* box, QLabel*& title, const QString& titleText);
// font at the largest point size, from largest down to smallest, at which
// every text fits its width in pixels; at smallest when none is.
QFont fittingFont(QFont font, int largest, int smallest, const std::vector<std::pair<QString, int>>& texts);
QLabel* makeLabel(QWidget* parent, const QString& value, const QRect& frame, int pointSize = 13);
// The sheet's blue default button.
IMGButton* makeBlueButton(QWidget* parent, const QString& title, const QRect& frame);
