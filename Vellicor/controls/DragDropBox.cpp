#include "controls/DragDropBox.h"

#include "base/Log.h"
#include "core/AppNotifier.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

DragDropBox::DragDropBox(QWidget* parent)
    : QFrame(parent)
{
    setAcceptDrops(true);
}

QStringList DragDropBox::droppedPaths(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
        if (path.isEmpty()) {
            Log::print("Drop: not a local file, left out:", url.toDisplayString());
            continue;
        }
        paths.append(path);
    }
    return paths;
}

bool DragDropBox::performDragOperation(const QMimeData* data)
{
    const QStringList paths = droppedPaths(data);
    if (paths.isEmpty())
        return false;
    emit AppNotifier::instance().FileDragDropNotification(paths);
    return true;
}

namespace {

// A drag is welcome when it offers a copy of at least one local file.
void answerDrag(QDropEvent* event)
{
    if ((event->possibleActions() & Qt::CopyAction) && !DragDropBox::droppedPaths(event->mimeData()).isEmpty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

} // namespace

void DragDropBox::dragEnterEvent(QDragEnterEvent* event)
{
    answerDrag(event);
}

void DragDropBox::dragMoveEvent(QDragMoveEvent* event)
{
    answerDrag(event);
}

void DragDropBox::dropEvent(QDropEvent* event)
{
    if ((event->possibleActions() & Qt::CopyAction) && performDragOperation(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}
