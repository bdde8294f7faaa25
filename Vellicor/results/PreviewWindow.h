#pragma once

#include "core/FileInfoNode.h"
#include "core/GlobalObjects.h"

#include <QList>
#include <QUrl>
#include <QWidget>

#include <optional>

class PreviewImageView;
class PreviewLoader;
class QPlainTextEdit;
class QStackedWidget;
struct PreviewContent;

// The one preview window of the results screen: a plain window beside the
// main one, never modal, showing the file it was last given: a picture, the
// start of a text file, or else the type's icon. Reading happens off the GUI
// thread; a file given meanwhile replaces the one being read. GUI thread only.
class PreviewWindow : public QWidget {
    Q_OBJECT
public:
    explicit PreviewWindow(QWidget* parent = nullptr);
    ~PreviewWindow() override;

    // Offers file and brings the window up; a record without a path leaves
    // the window as it is. Only this computer's files are read; a cloud
    // file shows its type's icon.
    void showPreviewForNode(const FileInfoNodePtr& file, ScanSource source);

    // The files offered, holding the last one only.
    const QList<QUrl>& arrUrlPreview() const { return arrUrlPreview_; }
    // The last file offered whatever the index; none before the first.
    std::optional<QUrl> previewItemAtIndex(int index) const;

    enum class Face { nothing, picture, text, icon };
    Face face() const { return face_; }
    QPlainTextEdit* textView() const { return textView_; }
    PreviewLoader& loader() { return *loader_; }

private:
    // Sizes and moves the window, before it first shows, to lie wholly on
    // the screen of the window that opens it.
    void placeOnScreen();
    void contentLoaded(const QString& path, const PreviewContent& content);

    QList<QUrl> arrUrlPreview_;
    Face face_ = Face::nothing;
    QStackedWidget* stack_ = nullptr;
    PreviewImageView* imageView_ = nullptr;
    QPlainTextEdit* textView_ = nullptr;
    PreviewLoader* loader_ = nullptr;
};
