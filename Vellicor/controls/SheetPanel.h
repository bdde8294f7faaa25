#pragma once

#include <QFont>
#include <QWidget>

class CustomWindowNag;
class GradientBox;
class IMGButton;
class QColor;
class QLabel;
class QRect;

// The dark panel a sheet's controls stand on: one fill with a faint edge,
// square as the newer systems draw their sheets. Every sheet and sheet-like
// window of the program uses it, so they look alike.
class SheetPanel : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A wrapping label of a sheet, in the application font at size and weight.
QLabel* makeSheetLabel(QWidget* parent, const QString& objectName, const QString& text, int size, const QColor& colour,
    QFont::Weight weight = QFont::Normal);

// A sheet's blue default button: a bold 14-point white title; off, a faded
// blue with a greyed title. Enter in the sheet presses it.
IMGButton* makeSheetDefaultButton(QWidget* parent, const QString& objectName);

// A window-modal sheet window over parent, with the veil that dims what it
// covers (a direct child named "veil").
CustomWindowNag* makeSheetWindow(QWidget* parent, const QString& objectName);

// The header band across the top of a sheet's panel.
GradientBox* makeSheetHeader(QWidget* panel, int width, int height = 38);

// The sheet window and its veil cover area; the panel stands centred in it,
// never above its top. A sheet laid over the whole of its parent's window (a
// sheet window) or of its parent (a sheet inside it) stays over it from then
// on: as it moves or changes size, and whenever the sheet is shown again.
void layOutSheetOver(QWidget* window, QWidget* panel, const QRect& area);
