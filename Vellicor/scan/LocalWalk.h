#pragma once

#include "core/FileInfoNode.h"
#include "scan/ScanCounters.h"
#include "scan/ScanRequest.h"
#include "scan/ScannedFiles.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

#include <memory>
#include <vector>

class DirectoryWalker;
struct statx;

// The walk of this computer's checked scan-list rows into file records, on the
// scan's worker thread. Hidden names, excluded folders and (unless a row asks
// for them) sub-folders are skipped; packages are one item; photo libraries
// are left to their own reader. A file is recorded once per scan, by device
// and inode: under its own path (no link on the way) when the walk meets it
// so, whatever the order, else under the first path met that is not a link to
// it, else under the first link met; a photo library's
// item is the one record of its file, however else the walk meets it. Everything skipped for a reason other
// than the user's choices (an unreadable folder, a name that cannot be
// reopened, a path too long, a pseudo file system) is logged and counted; a
// row kept out by an exclusion, by its path or by what it leads to, is logged
// with the excluded folder.
class LocalWalk {
public:
    // What the progress display hears, on the walk's thread.
    struct Progress {
        // A file was recorded; path is the line to show, empty when the
        // line keeps showing what it shows (a photo library's item, most of
        // the files read ahead: the line follows the walk, not every file).
        std::function<void(const QString& path)> recorded;
        // A photo library is about to be read: the line shows its path.
        std::function<void(const QString& path)> readingLibrary;
    };

    LocalWalk(const ScanRequest& request, ScanCounters& counters, const std::atomic<bool>& abort, Progress progress);
    ~LocalWalk();

    // Walks every checked row, then drops the records that lie inside a
    // recorded package.
    void parseAllPath();

    // The files recorded, kept compactly where they can be.
    ScannedFiles& files() { return files_; }
    // Every file's record, in order (made anew for compactly kept files).
    std::vector<FileInfoNodePtr> records() const { return files_.records(); }
    // Threads that read folders and build records ahead of the walk (0: the
    // walk's thread alone); the records and their order are the same. By
    // default one per core.
    void setReadingThreads(int threads) { readingThreads_ = threads; }
    // Items skipped because they could not be read.
    qint64 skippedCount() const { return skipped_; }
    // The photo libraries among them, whose databases could not be read.
    const QStringList& unreadLibraries() const { return unreadLibraries_; }
    // The checked rows kept out by an exclusion, in list order.
    const PassedOverLocations& passedOver() const { return passedOver_; }

private:
    void scanPath(const QString& path, const FilePathNode& row);
    void scanDirectory(const QString& path, const FilePathNode& row);
    // The walker of every row of this walk, made at the first folder.
    DirectoryWalker& walker();
    // name, attributes (the item's own, not a link's), folder and the length
    // of the path's bytes when the walk knows them already; soleName when the
    // walk met a regular file by the one name it has.
    // throughLink when path's last component is a link.
    void addScannedFile(const QString& path, const QString& name = QString(), const struct statx* attributes = nullptr,
        const QString* folder = nullptr, qsizetype nativeLength = -1, bool soleName = false, bool throughLink = false);
    // Takes a file built for path, unless it was recorded already; a record
    // made through a link to the file gives way to the file's own entry.
    void takeFile(ScannedFiles::Pending&& file, const QString& path, bool soleName, bool throughLink);
    // Whether the folder of a row's path is reached through a link.
    bool isReachedThroughLink(const QString& path);
    // Drops the records for which drop(item) holds, with their counts.
    void dropRecords(const std::function<bool(std::size_t item)>& drop);
    // From now on every recorded file's identity is in recordedFiles_.
    void noteEveryIdentity();
    void scanPhotosLibraryAt(const QString& path);
    // Takes a photo library's item; an earlier plain record of the same
    // file gives way to it (noted in displaced).
    void takeLibraryItem(FileInfoNodePtr item, QSet<QPair<quint64, quint64>>& displaced);
    void skip(const QString& path, const QString& reason);
    void dropRecordsInsidePackages();
    // Whether an entry of a folder the walk entered, which was tested itself
    // before it was entered, is an excluded folder.
    bool isExcludedEntry(const QString& path) const;
    // The same for an entry known by its path's bytes: text() makes the
    // path's text, asked only when a path of that length could be one of the
    // folders at all.
    template <class Text> bool isExcludedEntry(const QByteArray& pathBytes, Text&& text) const
    {
        return request_.dirExclusion && request_.dirExclusion->mayHoldPathOfBytes(pathBytes.size())
            && request_.dirExclusion->evaluateEntryOfIncludedFolder(text());
    }

    const ScanRequest& request_;
    ScanCounters& counters_;
    const std::atomic<bool>& abort_;
    Progress progress_;

    ScannedFiles files_;
    // Every file recorded, by device and inode (once everyIdentityNoted_;
    // before, the files met by their sole name are not in it), and those
    // recorded as a photo library's items.
    QSet<QPair<quint64, quint64>> recordedFiles_;
    bool everyIdentityNoted_ = false;
    // The records made through a link to a file, by identity, with their
    // place in files_: met by its own entry, the file takes that path.
    QHash<QPair<quint64, quint64>, std::size_t> linkedRecords_;
    // The folder of the row whose links were looked at last, and the answer.
    QString linkCheckedFolder_;
    bool folderReachedThroughLink_ = false;
    QSet<QPair<quint64, quint64>> libraryFiles_;
    // Folders walked, with whether their sub-folders were walked too.
    QHash<QPair<quint64, quint64>, bool> walkedFolders_;
    qint64 skipped_ = 0;
    QStringList unreadLibraries_;
    PassedOverLocations passedOver_;
    // Files taken from the reading threads, of which every pathShownEvery-th
    // shows its path in the progress.
    static constexpr quint64 pathShownEvery = 64;
    quint64 recordedAhead_ = 0;
    int readingThreads_;
    std::unique_ptr<DirectoryWalker> walker_;
    // The row whose folder the walker walks, read by its reading threads.
    const FilePathNode* walkedRow_ = nullptr;
    // A photo library has yielded assets in this walk.
    bool isPhotosScanned_ = false;
};
