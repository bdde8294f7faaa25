#pragma once

#include <QStringList>
#include <QTableWidget>

#include <functional>

// A list of the sheet: one stop of Tab, whose arrows choose the row (the one
// Up and Down move) and whose Space switches the chosen row's check box, if
// it has one; with the keys, the chosen row wears the focus ring. Its rows
// are dragged above other rows: the dragged row travels as its number in
// decimal text, and a drop onto a row (not between rows) is refused. What a
// drop does is the assistant's business.
class AssistantRowTable : public QTableWidget {
public:
    using DropHandler = std::function<void(const QStringList&, int)>;

    AssistantRowTable(int columns, QWidget* parent, DropHandler dropped);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void scrollContentsBy(int dx, int dy) override;

    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;

    // Our own drag, so that the view never clears the source row after a move.
    void startDrag(Qt::DropActions) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    DropHandler dropped_;
};
