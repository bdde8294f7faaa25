#pragma once

#include <QFrame>
#include <QStringList>

class QMimeData;

// The box of the home screen that files and folders are dropped on. A drop
// announces the local paths it carries through AppNotifier's
// FileDragDropNotification, in the order the drop lists them; what to do
// with them is the observer's work. Addresses that are not local files are
// left out, and a drop without any local file is refused. GUI thread only.
class DragDropBox : public QFrame {
    Q_OBJECT

public:
    explicit DragDropBox(QWidget* parent = nullptr);

    // The local file paths of data, in order; empty when it has none.
    static QStringList droppedPaths(const QMimeData* data);

    // Announces the paths of data; false (and nothing announced) when it
    // carries no local file.
    bool performDragOperation(const QMimeData* data);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};
