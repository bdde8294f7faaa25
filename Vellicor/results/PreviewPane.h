#pragma once

#include "core/FileInfoNode.h"
#include "core/GlobalObjects.h"
#include "results/PreviewLoader.h"

#include <QPointer>
#include <QWidget>

#include <vector>

class BoundedNetworkAccess;
class QNetworkReply;
class QLabel;
class QTableWidget;

// One row of the details table beside the preview.
struct MetaInfoRow {
    QString title;
    QString value;
    bool operator==(const MetaInfoRow&) const = default;
};

// The rows the details table shows for file, in order: name, size and dates
// for every file and, for a picture with image metadata, its EXIF and GPS
// values. Coded EXIF values are put into words for this computer's files; a
// cloud source keeps four of them as the service stored them. Empty values
// read "---".
std::vector<MetaInfoRow> metaInfoRows(const FileInfoNode& file, ScanSource source);

// A picture or an icon scaled into the widget, centred, its proportions kept.
class PreviewImageView : public QWidget {
public:
    using QWidget::QWidget;
    void setImage(const QImage& image);
    void setIcon(const QIcon& icon, const QSize& size);
    void clear();
    const QImage& image() const { return image_; }
    bool hasIcon() const { return !icon_.isNull(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    QIcon icon_;
    QSize iconSize_;
};

// The results screen's right pane under the selected file's path: the graph
// view while nothing is selected, otherwise the selected file's preview over
// its details table. A local picture is decoded off the GUI thread and shown
// when it arrives, unless another file was selected meanwhile; anything else
// shows its type's icon. Fills its parent. GUI thread only.
class PreviewPane : public QWidget {
    Q_OBJECT
public:
    explicit PreviewPane(QWidget* parent);

    // The source of the shown result set: its files are read only when they
    // are this computer's.
    void setScanSource(ScanSource source) { source_ = source; }

    // The details of file; a picture whose metadata has not been read yet
    // leaves the table empty until it has (off the GUI thread, once per
    // record), unless another file is shown by then.
    void fillMetaInfoTable(const FileInfoNodePtr& file);
    void addMetaInfoRow(const QString& title, const QString& value);
    // The lock of file changed: the details tell it anew when they show it.
    void lockChanged(const FileInfoNodePtr& file);
    const std::vector<MetaInfoRow>& arrMetaInfo() const { return arrMetaInfo_; }

    // Shows the details face with file's preview; no file empties the preview
    // and leaves the table as it is.
    void updatePreview(const FileInfoNodePtr& file);
    // The face for no selection.
    void showGraphView();

    // The graph view is an empty place for a chart of the result set.
    QWidget* graphView() const { return graphView_; }
    QWidget* metaInfoView() const { return metaInfoView_; }
    PreviewImageView* previewForFiles() const { return previewForFiles_; }
    QWidget* imgPhotoLib() const { return imgPhotoLib_; }
    QTableWidget* tblMetaInfo() const { return tblMetaInfo_; }
    // Why the shown file has no check box, over its details; hidden for a
    // file that can be marked.
    QLabel* lblLockReason() const { return lblLockReason_; }
    PreviewLoader& loader() { return *loader_; }
    // The file the preview shows or is waiting for; empty without one.
    const QString& previewPath() const { return previewPath_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void reloadTable();
    void showLockReason(const FileInfoNode* file);
    void layOutDetails();
    void fitMetaInfoColumns();
    void fitMetaInfoRows();
    void pictureLoaded(const QString& path, const PreviewContent& content);
    void metadataRead(const FileInfoNodePtr& file);
    void fetchThumbnail(const QUrl& link);

    ScanSource source_ = ScanSource::thisComputer;
    std::vector<MetaInfoRow> arrMetaInfo_;
    QString previewPath_;
    QWidget* graphView_ = nullptr;
    QWidget* metaInfoView_ = nullptr;
    PreviewImageView* previewForFiles_ = nullptr;
    QWidget* imgPhotoLib_ = nullptr;
    QLabel* lblMetaSummary_ = nullptr;
    QLabel* lblLockReason_ = nullptr;
    QTableWidget* tblMetaInfo_ = nullptr;
    PreviewLoader* loader_ = nullptr;
    PictureMetadataLoader* metadataLoader_ = nullptr;
    // The file whose details the table shows or waits for.
    std::weak_ptr<FileInfoNode> detailsFile_;
    BoundedNetworkAccess* network_ = nullptr;
    QPointer<QNetworkReply> thumbnailReply_;
};
