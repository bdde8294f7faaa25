#include "scan/LocalWalk.h"

#include "base/Log.h"
#include "core/DirectoryWalker.h"
#include "core/FileUtilities.h"
#include "scan/LocalFileRecordBuilder.h"
#include "scan/PackageTypes.h"
#include "scan/PhotosLibraryReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <climits>
#include <sys/stat.h>

namespace {

QPair<quint64, quint64> identityOf(const struct stat& status)
{
    return { static_cast<quint64>(status.st_dev), static_cast<quint64>(status.st_ino) };
}

QString specialFileKind(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO, not a regular file");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket, not a regular file");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device, not a regular file");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device, not a regular file");
    return QStringLiteral("not a regular file");
}

// Whether text, decoded from a name's bytes, encodes back to the same bytes:
// always so for plain ASCII, which needs no encoding to tell.
bool decodesExactly(const QByteArray& bytes, const QString& text)
{
    const bool ascii = text.size() == bytes.size()
        && std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii || QFile::encodeName(text) == bytes;
}

bool isIgnoredName(const QString& name)
{
    return name == QLatin1String(".DS_Store") || name == QLatin1String(".localized");
}

// Whether the entry, a regular file met as itself, is the one name of a file
// that is no mount point either: then no other entry of any folder leads to
// it, and the walk can meet it again only through a link, a row naming it or a
// second walk of its folder.
bool isSoleNameOfFile(const WalkEntry& entry)
{
    const struct statx& attributes = entry.attributes;
    return S_ISREG(attributes.stx_mode) && attributes.stx_nlink == 1
        && (attributes.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0
        && (attributes.stx_attributes & STATX_ATTR_MOUNT_ROOT) == 0;
}

// What a reading thread made of one entry ahead of the walk.
struct PreparedEntry {
    QString name;
    QString path;
    // An ignored name, or (once the name is valid) a hidden or excluded one.
    bool passedOver = false;
    // The path's text encodes back to the entry's bytes.
    bool validName = true;
    bool tooLong = false;
    // A regular file's record was built; file is empty when it was refused.
    bool built = false;
    std::optional<ScannedFiles::Pending> file;
};

// The folder of an entry's path, as bytes.
QByteArrayView parentOf(const WalkEntry& entry)
{
    return QByteArrayView(entry.path)
        .first(std::max<qsizetype>(
            entry.path.size() - entry.name.size() - (entry.path.size() > entry.name.size() + 1 ? 1 : 0), 0));
}

} // namespace

LocalWalk::LocalWalk(
    const ScanRequest& request, ScanCounters& counters, const std::atomic<bool>& abort, Progress progress)
    : request_(request)
    , counters_(counters)
    , abort_(abort)
    , progress_(std::move(progress))
    , readingThreads_(QThread::idealThreadCount())
{
}

LocalWalk::~LocalWalk() = default;

bool LocalWalk::isExcludedEntry(const QString& path) const
{
    return request_.dirExclusion && request_.dirExclusion->evaluateEntryOfIncludedFolder(path);
}

void LocalWalk::skip(const QString& path, const QString& reason)
{
    ++skipped_;
    Log::print("Skipped", path + QLatin1Char(':'), reason);
}

void LocalWalk::parseAllPath()
{
    // Rows reached through a link come last: a file they share with another
    // row is then met first by its own path, and recorded under it.
    std::vector<const FilePathNode*> linkedRows;
    bool walkingLinkedRows = false;
    const auto walkRow = [this, &walkingLinkedRows](const FilePathNode& row, const QString& path) {
        // A row the user chose through a link to a folder is that folder.
        const QFileInfo info(path);
        if (info.isSymLink() && info.isDir()) {
            const QString target = info.canonicalFilePath();
            if (!target.isEmpty())
                scanPath(target, row);
            return true;
        }
        if (!walkingLinkedRows && (info.isSymLink() || isReachedThroughLink(path)))
            return false;
        scanPath(path, row);
        return true;
    };
    for (const FilePathNode& row : request_.rows) {
        if (row.state == 0)
            continue;
        if (abort_)
            break;
        const QString path = row.filePath.value_or(QString());
        if (path.isEmpty() || path.startsWith(QLatin1Char('.')))
            continue;
        // A row in an excluded folder, by its own path or through a link on
        // its way, is passed over, and the log tells which folder keeps it out.
        if (request_.dirExclusion) {
            if (const std::optional<LocationExclusion> exclusion = locationExclusion(*request_.dirExclusion, path)) {
                Log::print("Passed over", locationExclusionText(path, *exclusion));
                passedOver_.paths.append(path);
                if (!passedOver_.first)
                    passedOver_.first = std::move(*exclusion);
                continue;
            }
        }
        if (!walkRow(row, path))
            linkedRows.push_back(&row);
    }
    walkingLinkedRows = true;
    for (const FilePathNode* row : linkedRows) {
        if (abort_)
            break;
        walkRow(*row, *row->filePath);
    }
    // Its reading threads are of no use to what follows the walk.
    walker_.reset();
    dropRecordsInsidePackages();
}

bool LocalWalk::isReachedThroughLink(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    const qsizetype slash = clean.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0)
        return false;
    // Rows are mostly folders side by side: one look per folder they are in.
    const QString folder = clean.left(slash);
    if (folder != linkCheckedFolder_) {
        linkCheckedFolder_ = folder;
        const QFileInfo info(folder);
        const QString real = info.canonicalFilePath();
        folderReachedThroughLink_ = !real.isEmpty() && real != info.absoluteFilePath();
    }
    return folderReachedThroughLink_;
}

void LocalWalk::scanPath(const QString& path, const FilePathNode& row)
{
    if (abort_)
        return;
    const QByteArray encoded = QFile::encodeName(path);
    struct stat own { };
    if (::lstat(encoded.constData(), &own) != 0) {
        if (errno != ENOENT)
            skip(path, errnoText(errno));
        return;
    }
    if (isOnPseudoFileSystem(encoded)) {
        skip(path, QStringLiteral("a pseudo file system"));
        return;
    }
    if (!S_ISDIR(own.st_mode)) {
        // The builder takes links to files only; a row that is one is a link.
        addScannedFile(path, QString(), nullptr, nullptr, -1, false, S_ISLNK(own.st_mode));
        return;
    }
    const QString extension = QFileInfo(path).suffix().toLower();
    if (!isPackageExtension(extension)) {
        scanDirectory(path, row);
        return;
    }
    if (isPhotoLibraryExtension(extension)) {
        // Photo libraries are read through their database, never as files.
        scanPhotosLibraryAt(path);
        return;
    }
    addScannedFile(path);
}

DirectoryWalker& LocalWalk::walker()
{
    if (walker_)
        return *walker_;
    // One walker for every row, so that its reading threads are made once a
    // scan: a list of ten thousand folders costs their entries, not ten
    // thousand sets of threads.
    walker_ = std::make_unique<DirectoryWalker>(&abort_,
        [this](const QByteArray& where, int, const QString& reason) { skip(QFile::decodeName(where), reason); });
    if (readingThreads_ > 0) {
        DirectoryWalker::ReadAhead ahead;
        ahead.threads = readingThreads_;
        ahead.wanted = [this](const WalkEntry& entry) {
            if (!walkedRow_->isIncludeSubFolders || entry.name.startsWith('.'))
                return false;
            const QString name = QFile::decodeName(entry.name);
            return !isPackageExtension(QFileInfo(name).suffix().toLower())
                && !isExcludedEntry(entry.path, [&] { return QFile::decodeName(entry.path); });
        };
        // Everything but what depends on the walk's order: its sets of files
        // and folders met, its counters and its log.
        ahead.prepare = [this](const WalkEntry& entry) -> std::shared_ptr<void> {
            auto prepared = std::make_shared<PreparedEntry>();
            prepared->name = QFile::decodeName(entry.name);
            if (isIgnoredName(prepared->name)) {
                prepared->passedOver = true;
                return prepared;
            }
            prepared->path = QFile::decodeName(entry.path);
            prepared->validName = decodesExactly(entry.path, prepared->path);
            if (!prepared->validName)
                return prepared;
            if (isExcludedEntry(prepared->path) || prepared->name.startsWith(QLatin1Char('.'))) {
                prepared->passedOver = true;
                return prepared;
            }
            if (!S_ISREG(entry.status.st_mode))
                return prepared;
            if (entry.path.size() >= PATH_MAX) {
                prepared->tooLong = true;
                return prepared;
            }
            // The records of one folder share its text; a reading thread
            // takes a folder's entries one after the other.
            thread_local QByteArray folderBytes;
            thread_local QString folderText;
            if (const QByteArrayView parent = parentOf(entry); parent != QByteArrayView(folderBytes)) {
                folderBytes = parent.toByteArray();
                folderText = QFile::decodeName(folderBytes);
            }
            thread_local FileInfoNode record;
            record = FileInfoNode();
            prepared->built = true;
            if (makeLocalFileInfoNode(
                    record, prepared->path, prepared->name, request_.filters, entry.attributes, folderText))
                prepared->file = ScannedFiles::prepare(record, entry.name);
            // The walk's thread needs neither name nor path of a file built
            // here: the texts go back on this thread, where they were made.
            prepared->name = QString();
            prepared->path = QString();
            return prepared;
        };
        walker_->setReadAhead(std::move(ahead));
    }
    return *walker_;
}

void LocalWalk::scanDirectory(const QString& path, const FilePathNode& row)
{
    // A folder met again (through a bind mount or an earlier row) is walked
    // once, so loops end; only a row that wants the sub-folders walks again a
    // folder an earlier row walked without them. Files are recorded once
    // either way.
    const auto enter = [this, &row](const struct stat& folder) {
        const QPair<quint64, quint64> identity = identityOf(folder);
        const auto walked = walkedFolders_.constFind(identity);
        if (walked != walkedFolders_.constEnd() && (*walked || !row.isIncludeSubFolders))
            return false;
        if (walked != walkedFolders_.constEnd())
            noteEveryIdentity(); // its files are met a second time
        walkedFolders_.insert(identity, row.isIncludeSubFolders);
        return true;
    };
    struct stat folder { };
    if (::stat(QFile::encodeName(path).constData(), &folder) != 0 || !enter(folder))
        return;

    // The reading threads read for this row until the walk below returns.
    walkedRow_ = &row;
    // The folder of the entries met last, one text shared by their records.
    QByteArray folderBytes;
    QString folderText;
    walker().walk(QFile::encodeName(path), [&](const WalkEntry& entry) {
        // Handed to this visitor alone, once: what it holds may be taken.
        auto* prepared = static_cast<PreparedEntry*>(entry.prepared.get());
        if (prepared && prepared->passedOver)
            return WalkAction::next;
        if (prepared && prepared->validName && prepared->built) {
            if (prepared->file) {
                // The progress line shows where the walk is, not every file
                // it passes: making each path's text costs more than the rest.
                const QString shown
                    = recordedAhead_++ % pathShownEvery == 0 ? QFile::decodeName(entry.path) : QString();
                takeFile(std::move(*prepared->file), shown, isSoleNameOfFile(entry), false);
            }
            return WalkAction::next;
        }
        const QString name = prepared ? prepared->name : QFile::decodeName(entry.name);
        if (!prepared && isIgnoredName(name))
            return WalkAction::next;
        // Past the system's path limit no file can be recorded, but the walk
        // goes on below (each such file is told): there, the text of an
        // entry's path is made only for what needs it, or every level of a
        // deep tree would cost its whole path again.
        const bool pastPathLimit = !prepared && entry.path.size() >= PATH_MAX;
        QString entryPath = prepared ? prepared->path : pastPathLimit ? QString() : QFile::decodeName(entry.path);
        const auto fullPath = [&]() -> const QString& {
            if (entryPath.isNull())
                entryPath = QFile::decodeName(entry.path);
            return entryPath;
        };
        // What a line of the log names: past the limit only the path's end,
        // or a file at every level of a deep tree would cost the log the
        // square of its depth.
        const auto reported = [&]() { return pastPathLimit ? pathForReport(entry.path) : fullPath(); };
        const QString tooLong = QStringLiteral("the path is longer than the system allows");
        // The folder's own path decoded exactly when it was entered, so the
        // name alone tells for an entry past the limit.
        const bool validName = prepared ? prepared->validName
            : pastPathLimit             ? decodesExactly(entry.name, name)
                                        : decodesExactly(entry.path, entryPath);
        if (!validName) {
            // Such a name could not be opened again by its text.
            skip(reported(), QStringLiteral("the name is not valid UTF-8"));
            return WalkAction::next;
        }
        if (prepared && prepared->tooLong) {
            skip(entryPath, tooLong);
            return WalkAction::next;
        }
        if (!prepared && (name.startsWith(QLatin1Char('.')) || isExcludedEntry(entry.path, fullPath)))
            return WalkAction::next;
        mode_t mode = entry.status.st_mode;
        if (S_ISDIR(mode)) {
            if (!row.isIncludeSubFolders)
                return WalkAction::next;
            const QString extension = QFileInfo(name).suffix().toLower();
            if (isPackageExtension(extension)) {
                if (pastPathLimit)
                    skip(reported(), tooLong);
                else if (isPhotoLibraryExtension(extension))
                    scanPhotosLibraryAt(fullPath());
                else
                    addScannedFile(fullPath());
                return WalkAction::next;
            }
            return enter(entry.status) ? WalkAction::descend : WalkAction::next;
        }
        if (S_ISLNK(mode)) {
            struct stat target { };
            if (::stat(entry.path.constData(), &target) != 0) {
                skip(reported(), QStringLiteral("a link whose target cannot be reached: ") + errnoText(errno));
                return WalkAction::next;
            }
            if (S_ISDIR(target.st_mode))
                return WalkAction::next; // links to folders are never followed inside a walk
            mode = target.st_mode;
        }
        if (!S_ISREG(mode)) {
            // Reading one of these could block the scan or never end.
            skip(reported(), specialFileKind(mode));
            return WalkAction::next;
        }
        if (pastPathLimit) {
            skip(reported(), tooLong);
            return WalkAction::next;
        }
        if (const QByteArrayView parent = parentOf(entry); parent != QByteArrayView(folderBytes)) {
            folderBytes = parent.toByteArray();
            folderText = QFile::decodeName(folderBytes);
        }
        const bool throughLink = S_ISLNK(entry.status.st_mode);
        addScannedFile(entryPath, name, throughLink ? nullptr : &entry.attributes, &folderText, entry.path.size(),
            isSoleNameOfFile(entry), throughLink);
        return WalkAction::next;
    });
}

void LocalWalk::addScannedFile(const QString& path, const QString& name, const struct statx* attributes,
    const QString* folder, qsizetype nativeLength, bool soleName, bool throughLink)
{
    if ((nativeLength >= 0 ? nativeLength : QFile::encodeName(path).size()) >= PATH_MAX) {
        skip(path, QStringLiteral("the path is longer than the system allows"));
        return;
    }
    FileInfoNode record;
    const QString fileName = name.isNull() ? QFileInfo(path).fileName() : name;
    const bool taken = attributes && folder
        ? makeLocalFileInfoNode(record, path, fileName, request_.filters, *attributes, *folder)
        : makeLocalFileInfoNode(record, path, fileName, request_.filters);
    if (taken)
        takeFile(ScannedFiles::prepare(record), path, soleName, throughLink);
}

void LocalWalk::noteEveryIdentity()
{
    if (everyIdentityNoted_)
        return;
    everyIdentityNoted_ = true;
    recordedFiles_.reserve(qsizetype(files_.count()) + 1);
    for (std::size_t item = 0; item < files_.count(); ++item)
        recordedFiles_.insert({ files_.deviceId(item), files_.inode(item) });
}

void LocalWalk::takeFile(ScannedFiles::Pending&& file, const QString& path, bool soleName, bool throughLink)
{
    // One record per file: hard links, bind mounts and links add nothing.
    // As long as every file was met by its sole name, none can have been met
    // before, and the set of identities, the walk's largest cost per file,
    // waits until a file is met otherwise.
    const QPair<quint64, quint64> identity { file.deviceId(), file.inode() };
    if (!soleName || everyIdentityNoted_) {
        noteEveryIdentity();
        const qsizetype before = recordedFiles_.size();
        recordedFiles_.insert(identity);
        if (recordedFiles_.size() == before) {
            // A file met first through a link to it is recorded under its
            // own entry once the walk meets that, whichever row holds it,
            // beyond a linked folder too (a home or a pictures folder reached
            // through a link): a link stands for a file only while nothing
            // else does.
            if (!throughLink && !linkedRecords_.isEmpty()) {
                if (const auto linked = linkedRecords_.constFind(identity); linked != linkedRecords_.constEnd()) {
                    const std::size_t item = *linked;
                    linkedRecords_.erase(linked);
                    counters_.totSizeScanned -= files_.fileSize(item);
                    counters_.totSizeScanned += file.fileSize();
                    files_.replace(item, std::move(file));
                }
            }
            return;
        }
    }

    counters_.countScanned += 1;
    counters_.totSizeScanned += file.fileSize();
    if (progress_.recorded)
        progress_.recorded(path);
    if (throughLink)
        linkedRecords_.insert(identity, files_.count());
    files_.add(std::move(file));
}

void LocalWalk::scanPhotosLibraryAt(const QString& path)
{
    const std::size_t before = files_.count();
    QSet<QPair<quint64, quint64>> displaced;
    PhotosLibrarySink sink;
    sink.reading = [this, &path] {
        if (progress_.readingLibrary)
            progress_.readingLibrary(path);
    };
    sink.take = [this, &displaced](FileInfoNodePtr item) { takeLibraryItem(std::move(item), displaced); };
    // The reader has logged why.
    sink.leftOut = [this, &path](const QString&) {
        ++skipped_;
        unreadLibraries_.append(path);
    };
    scanPhotosLibrary(path, request_, abort_, isPhotosScanned_, sink);
    if (displaced.isEmpty())
        return;
    // A library's original met earlier as a plain file (a row inside the
    // library) is removed through the library, never as a file of its own.
    dropRecords([&](std::size_t item) {
        return item < before && displaced.contains({ files_.deviceId(item), files_.inode(item) });
    });
}

void LocalWalk::dropRecords(const std::function<bool(std::size_t item)>& drop)
{
    // The records made through a link move with the others.
    QHash<std::size_t, QPair<quint64, quint64>> linkedAt;
    for (auto linked = linkedRecords_.cbegin(); linked != linkedRecords_.cend(); ++linked)
        linkedAt.insert(linked.value(), linked.key());
    std::size_t dropped = 0;
    files_.removeIf([&](std::size_t item) {
        const bool gone = drop(item);
        if (gone) {
            counters_.countScanned -= 1;
            counters_.totSizeScanned -= files_.fileSize(item);
            ++dropped;
        }
        if (const auto linked = linkedAt.constFind(item); linked != linkedAt.constEnd()) {
            if (gone)
                linkedRecords_.remove(*linked);
            else
                linkedRecords_[*linked] = item - dropped;
        }
        return gone;
    });
}

void LocalWalk::takeLibraryItem(FileInfoNodePtr item, QSet<QPair<quint64, quint64>>& displaced)
{
    const QPair<quint64, quint64> identity { item->deviceId, item->inode };
    if (libraryFiles_.contains(identity))
        return;
    noteEveryIdentity();
    if (recordedFiles_.contains(identity))
        displaced.insert(identity);
    recordedFiles_.insert(identity);
    libraryFiles_.insert(identity);
    counters_.countScanned += 1;
    counters_.totSizeScanned += item->fileSize;
    if (progress_.recorded)
        progress_.recorded(QString());
    files_.addWhole(std::move(item));
}

void LocalWalk::dropRecordsInsidePackages()
{
    // Overlapping rows can record a package and, through a row inside it, one
    // of its members. Removing the package would remove the member too, so
    // the member must never count as the package's duplicate: the package
    // stays one item and what lies inside it is dropped.
    QSet<QString> packages;
    for (std::size_t item = 0; item < files_.count(); ++item) {
        if (files_.isDirectory(item) && files_.hasPath(item))
            packages.insert(files_.path(item));
    }
    if (packages.isEmpty())
        return;
    const auto insidePackage = [&packages](const QString& path) {
        for (qsizetype slash = path.lastIndexOf(QLatin1Char('/')); slash > 0;
             slash = path.lastIndexOf(QLatin1Char('/'), slash - 1)) {
            if (packages.contains(path.left(slash)))
                return true;
        }
        return false;
    };
    dropRecords([&](std::size_t item) { return files_.hasPath(item) && insidePackage(files_.path(item)); });
}
