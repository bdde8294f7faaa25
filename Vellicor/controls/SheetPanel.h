#pragma once

#include <QFont>
#include <QWidget>

class QColor;
class QLabel;

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
