#pragma once

#include "core/FileInfoNode.h"
#include "core/GlobalObjects.h"
#include "platform/ImageProcessing.h"

#include <QIcon>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// What a preview shows of one file: the picture turned upright and scaled
// into the asked box, the start of a text file, or else the type's icon.
struct PreviewContent {
    QImage picture;
    std::optional<QString> text;
    QString iconName;
    QString genericIconName;
};

// Pictures larger than this many pixels are not decoded at all, as in the
// grid: a phone's largest JPEG still shows. Formats that cannot scale while
// decoding are bounded by the toolkit's allocation limit besides.
inline constexpr qint64 largestPreviewPixels = ImageProcessing::largestPicturePixels;
// How much of a text file a preview reads.
inline constexpr qint64 previewTextBytes = 64 * 1024;

// Reads what to show for the local file at path. Any thread; reads only
// regular files; a picture is decoded only as the format its name allows,
// within the shared decoder's bounds (ImageProcessing), and one that cannot
// be (damaged, too large, over a bound) falls back to the type's icon.
// A large JPEG waits for its turn as turn says, and tells there what became
// of it.
PreviewContent readPreviewContent(const QString& path, const QSize& box, bool withText, DecodeTurn* turn = nullptr);

// A downloaded picture decoded as above; a null picture for bytes that are
// no picture or too large a one.
QImage decodePreviewPicture(const QByteArray& bytes, const QSize& box, DecodeTurn* turn = nullptr);

// The type's icon from the desktop's icon theme, by the file name alone (no
// file is opened); our own image of the type's family (music, video,
// picture, archive, document, other) when the theme has none. GUI thread.
QIcon typeIconForPath(const QString& path);
QIcon typeIcon(const PreviewContent& content);
// Our own image of the family a type's generic icon name stands for.
QIcon categoryIcon(const QString& genericIconName);

// Reads previews on a few shared threads (DecodeThreads), one request at a
// time per loader: a newer request supersedes an older one, whose result is
// dropped even when it is already on its way. A large picture whose turn did
// not come is asked again once a turn is given back, unless superseded by
// then. Results arrive on the GUI thread through loaded. Owned by one view;
// GUI thread only.
class PreviewLoader : public QObject {
    Q_OBJECT
public:
    explicit PreviewLoader(QObject* parent = nullptr);
    ~PreviewLoader() override;

    void request(const QString& path, const QSize& box, bool withText);
    // Decodes bytes fetched for key; answered as key.
    void requestData(const QString& key, const QByteArray& bytes, const QSize& box);
    // Whatever is still on its way is dropped.
    void cancel();

signals:
    void loaded(const QString& path, const PreviewContent& content);

private:
    using Work = std::function<PreviewContent(DecodeTurn&)>;
    void start(const QString& key, Work work);
    void run(const QString& key, quint64 generation, Work work);

    // Shared with the running tasks, so that a superseded one can skip its work.
    std::shared_ptr<std::atomic<quint64>> generation_;
};

// Reads the metadata of a picture on this computer's disks on the preview
// threads the first time something shows it, and keeps it on the record (set on
// the GUI thread) for as long as the record lives: the scan reads none. A
// newer request supersedes older ones that have not started; a read that has
// finished still lands on its record. GUI thread only.
class PictureMetadataLoader : public QObject {
    Q_OBJECT
public:
    explicit PictureMetadataLoader(QObject* parent = nullptr);
    ~PictureMetadataLoader() override;

    // A picture of a result from this computer (or a photo catalog of it)
    // whose metadata has not been read yet. A cloud picture's comes with its
    // listing, when the service gives any.
    static bool needsReading(const FileInfoNode& file, ScanSource source);
    void request(const FileInfoNodePtr& file);

signals:
    // The metadata is on file's record now.
    void metadataRead(const FileInfoNodePtr& file);

private:
    std::shared_ptr<std::atomic<quint64>> generation_;
};
