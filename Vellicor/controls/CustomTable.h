#pragma once

#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QTableView>

// A table for window layouts that want no keyboard navigation: every key
// press is written as "keyDown" to standard output and goes no further (no
// type-select, no arrow keys). It takes the focus on a click. GUI thread only.
class CustomTable : public QTableView {
    Q_OBJECT

public:
    explicit CustomTable(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A plain header view for window layouts.
class TableHeaderView : public QHeaderView {
    Q_OBJECT

public:
    explicit TableHeaderView(Qt::Orientation orientation = Qt::Horizontal, QWidget* parent = nullptr);
};

// A header whose titles can be edited: a double click on a section opens a
// one-line field editor over it, and when that editor's editing ends its text
// becomes the section's title in the model (which must accept header data)
// and "Header did change to <title>" goes to standard output. GUI thread only.
class TableHeaderCell : public QHeaderView {
    Q_OBJECT

public:
    explicit TableHeaderCell(Qt::Orientation orientation = Qt::Horizontal, QWidget* parent = nullptr);
    ~TableHeaderCell() override;

    // Opens the field editor over the section with its current title.
    void editSection(int logicalIndex);
    // The open field editor; none while no title is edited.
    QLineEdit* fieldEditor() const { return editor_; }
    // The end of editing: textObject is the field editor; anything else is
    // ignored.
    void textDidEndEditing(QObject* textObject);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QPointer<QLineEdit> editor_;
    int editedSection_ = -1;
};
