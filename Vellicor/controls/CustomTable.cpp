#include "controls/CustomTable.h"

#include "base/Log.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <utility>

CustomTable::CustomTable(QWidget* parent)
    : QTableView(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    // Tab leaves the table, as it leaves every list.
    setTabKeyNavigation(false);
}

void CustomTable::keyPressEvent(QKeyEvent* event)
{
    printToStandardOutput(QStringLiteral("keyDown"));
    event->accept();
}

TableHeaderView::TableHeaderView(Qt::Orientation orientation, QWidget* parent)
    : QHeaderView(orientation, parent)
{
}

TableHeaderCell::TableHeaderCell(Qt::Orientation orientation, QWidget* parent)
    : QHeaderView(orientation, parent)
{
}

TableHeaderCell::~TableHeaderCell()
{
    // An editor losing the focus as it goes would end its editing on a
    // header already half gone.
    if (editor_) {
        editor_->disconnect(this);
        delete editor_;
    }
}

void TableHeaderCell::editSection(int logicalIndex)
{
    if (!model() || logicalIndex < 0 || logicalIndex >= count())
        return;
    if (editor_)
        textDidEndEditing(editor_);
    editedSection_ = logicalIndex;
    auto* editor = new QLineEdit(viewport());
    editor_ = editor;
    editor->setFrame(false);
    editor->setText(model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString());
    const int position = sectionViewportPosition(logicalIndex);
    editor->setGeometry(orientation() == Qt::Horizontal
            ? QRect(position, 0, sectionSize(logicalIndex), viewport()->height())
            : QRect(0, position, viewport()->width(), sectionSize(logicalIndex)));
    // Return and a lost focus both end the editing; the editor may report
    // both, and only the first one counts.
    connect(editor, &QLineEdit::editingFinished, this, [this, editor] { textDidEndEditing(editor); });
    editor->show();
    editor->selectAll();
    editor->setFocus(Qt::OtherFocusReason);
}

void TableHeaderCell::textDidEndEditing(QObject* textObject)
{
    auto* editor = qobject_cast<QLineEdit*>(textObject);
    if (!editor || editor != editor_)
        return;
    const QString title = editor->text();
    const int section = std::exchange(editedSection_, -1);
    editor_.clear();
    if (model())
        model()->setHeaderData(section, orientation(), title, Qt::DisplayRole);
    printToStandardOutput(QStringLiteral("Header did change to ") + title);
    editor->hide();
    editor->deleteLater();
    viewport()->update();
}

void TableHeaderCell::mouseDoubleClickEvent(QMouseEvent* event)
{
    const int section = logicalIndexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && section >= 0) {
        editSection(section);
        event->accept();
        return;
    }
    QHeaderView::mouseDoubleClickEvent(event);
}
