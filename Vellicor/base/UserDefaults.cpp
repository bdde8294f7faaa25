#include "base/UserDefaults.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "base/PrivateFiles.h"
#include "base/ReleaseElsewhere.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <utility>

namespace {

// A file past this size leaves much of the heap free once read.
constexpr qsizetype largeFile = 1024 * 1024;

UserDefaults::SaveFault faultOf(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return UserDefaults::SaveFault::diskFull;
    case EACCES:
    case EPERM:
    case EROFS:
        return UserDefaults::SaveFault::folderNotWritable;
    default:
        return UserDefaults::SaveFault::other;
    }
}

// A free name beside path for a file that could not be read: path, why
// (".damaged", ".too-large") and when.
QString asideName(const QString& path, QLatin1StringView why)
{
    const QString stem = path + why + QLatin1Char('-')
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString candidate = stem;
    for (int n = 2; QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink(); ++n)
        candidate = stem + QLatin1Char('-') + QString::number(n);
    return candidate;
}

// A copy of bytes that an earlier start set aside beside path (named as
// asideName names it for why), if there is one: a file that goes on holding
// what cannot be read is kept once, not at every start.
QString earlierCopy(const QString& path, QLatin1StringView why, const QByteArray& bytes)
{
    const QFileInfo file(path);
    const QFileInfoList candidates = QDir(file.path()).entryInfoList(
        { file.fileName() + why + QStringLiteral("-*") }, QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& candidate : candidates) {
        if (candidate.isSymLink() || candidate.size() != bytes.size())
            continue;
        const PrivateFiles::SmallFile copy = PrivateFiles::readSmallFile(candidate.filePath(), bytes.size());
        if (copy.outcome == PrivateFiles::SmallFile::Outcome::read && copy.bytes == bytes)
            return candidate.filePath();
    }
    return {};
}

// Moves the file at path to aside, in the same folder, never over anything
// there and never by a copy: a file of half a gigabyte moves as fast as a
// small one. Whether it moved.
bool moveAside(const QString& path, const QString& aside)
{
    const QByteArray from = QFile::encodeName(path);
    const QByteArray to = QFile::encodeName(aside);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    // A file system that cannot promise it: the name was free a moment ago.
    return errno == EINVAL && ::rename(from.constData(), to.constData()) == 0;
}

} // namespace

UserDefaults::UserDefaults(const QString& settingsFolder, QObject* parent)
    : QObject(parent)
    , folder_(QDir::cleanPath(settingsFolder))
{
    std::lock_guard lock(mutex_);
    // Settings from a folder another user could have made or filled are not
    // taken, and nothing is written there: the refusal is told on its own.
    using PrivateFiles::FolderFault;
    const std::optional<FolderFault> fault
        = PrivateFiles::useOwnFolder(folder_, PrivateFiles::FolderUse::settings, PrivateFiles::Make::never);
    if (fault && *fault != FolderFault::missing) {
        folderRefused_ = true;
        Log::print(
            "Settings folder", folder_, "is not the user's own; starting on the default settings without saving.");
        return;
    }
    // Read under the writers' lock, so that a save another store is making
    // (one behind too) is read done and whole. A writer that hangs holds the
    // start for two seconds at most; the file is then read as it stands.
    QLockFile writers(filePath() + QStringLiteral(".lock"));
    const bool locked = !fault && writers.tryLock(2000);
    readFileLocked(stored_);
    startProblem_ = lastReadProblem_;
    if (locked)
        removeLeftoversLocked();
    // What could be read is saved without what could not, behind, so the
    // next start reads a sound file.
    if (startProblem_ && startProblem_->kind == SettingsReadProblem::Kind::valuesReset && !keepFileUntouched_) {
        repairDue_ = true;
        saveBehindLocked();
    }
}

void UserDefaults::removeLeftoversLocked()
{
    // A save holds the lock from its start to its rename, so what is there
    // while the lock is held no writer is still making. Held by another
    // writer: its leftovers wait for the next start.
    if (const int removed = PrivateFiles::removeLeftoverReplacements(filePath()))
        Log::print("Settings: removed", removed, "temporary files of saves that were cut short.");
}

std::optional<SettingsReadProblem> UserDefaults::readProblemAtStart() const
{
    std::lock_guard lock(mutex_);
    return startProblem_;
}

UserDefaults& UserDefaults::standard()
{
    // Never destroyed: readers may still reach it from other statics at exit.
    static UserDefaults* const instance = new UserDefaults(AppPaths::settingsFolder());
    return *instance;
}

QString UserDefaults::filePath() const
{
    return folder_ + QLatin1Char('/') + QLatin1String(fileName);
}

bool UserDefaults::readFileLocked(QVariantMap& values)
{
    const QString path = filePath();
    fileKnown_.reset();
    lastReadProblem_.reset();
    // Never through a link, never a pipe or a device, never more than the
    // bound: whatever is in the file's place, the start goes on.
    using Outcome = PrivateFiles::SmallFile::Outcome;
    const PrivateFiles::SmallFile file = PrivateFiles::readSmallFile(path, UserDefaults::largestReadFile);
    if (file.outcome == Outcome::missing)
        return true;

    if (file.outcome == Outcome::tooLarge) {
        // Unread, and set aside so that the next save can work; never lost.
        const QString aside = asideName(path, QLatin1StringView(".too-large"));
        const QString size = QString::number(file.size);
        if (moveAside(path, aside)) {
            Log::print("Settings file", path, "is too large to read (", file.size, "bytes, more than",
                largestReadFile, "); moved to", aside, "and starting on the default settings.");
            lastReadProblem_ = SettingsReadProblem { SettingsReadProblem::Kind::tooLarge, path, aside, size, {} };
        } else {
            keepFileUntouched_ = true;
            Log::print("Settings file", path, "is too large to read (", file.size,
                "bytes) nor could it be moved aside; starting on the default settings without saving changes.");
            lastReadProblem_ = SettingsReadProblem { SettingsReadProblem::Kind::tooLarge, path, {}, size, {} };
        }
        return false;
    }

    QString problem;
    QJsonObject root;
    if (file.outcome == Outcome::link)
        problem = QStringLiteral("it is a link");
    else if (file.outcome == Outcome::notAFile)
        problem = QStringLiteral("it is not a regular file");
    else if (file.outcome == Outcome::failed)
        problem = file.reason;
    else {
        fileKnown_ = file.bytes;
        QJsonParseError error {};
        const QJsonDocument document = QJsonDocument::fromJson(file.bytes, &error);
        if (error.error != QJsonParseError::NoError)
            problem = error.errorString();
        else if (!document.isObject())
            problem = QStringLiteral("it holds no settings object");
        else
            root = document.object();
    }

    if (!problem.isEmpty()) {
        const QString aside = asideName(path, QLatin1StringView(".damaged"));
        if (moveAside(path, aside)) {
            fileKnown_.reset();
            Log::print("Settings file", path, "could not be read (" + problem + "); moved to", aside,
                "and starting on the default settings.");
            lastReadProblem_ = SettingsReadProblem { SettingsReadProblem::Kind::setAside, path, aside, problem, {} };
        } else {
            keepFileUntouched_ = true;
            Log::print("Settings file", path,
                "could not be read (" + problem
                    + ") nor moved aside; starting on the default settings without saving changes.");
            lastReadProblem_ = SettingsReadProblem { SettingsReadProblem::Kind::keptInPlace, path, {}, problem, {} };
        }
        return false;
    }

    // A file may hold any number of them: the first are named, the rest
    // counted, here and in what the user is told.
    QStringList skipped;
    qsizetype skippedCount = 0;
    for (auto it = root.constBegin(); it != root.constEnd(); ++it) {
        if (std::optional<QVariant> value = SettingsFileBytes::decode(it.value()))
            values.insert(it.key(), *value);
        else if (++skippedCount <= SettingsReadProblem::namedKeys)
            skipped.append(it.key());
    }
    // Parsing a long history takes some fifteen times its bytes for a moment,
    // in small blocks the heap keeps once they are free: they go back to the
    // system, so that the program holds what it read and not what reading
    // it took.
    root = QJsonObject();
    if (file.bytes.size() > largeFile)
        giveFreedMemoryBack();
    if (skippedCount > 0) {
        // The next save drops these entries, so the original is kept first;
        // once, however many starts find it before a save replaces it.
        const QLatin1StringView why(".damaged");
        QString aside = earlierCopy(path, why, *fileKnown_);
        const bool copiedBefore = !aside.isEmpty();
        if (!copiedBefore) {
            aside = asideName(path, why);
            if (!QFile::copy(path, aside))
                aside.clear();
        }
        const QString more
            = skippedCount > skipped.size() ? QStringLiteral("and %1 more").arg(skippedCount - skipped.size()) : QString();
        if (!aside.isEmpty()) {
            Log::print("Settings file", path, "holds unreadable values for", skipped, more,
                "; they read as missing. The original file is kept as", aside, copiedBefore ? "(copied before)." : "");
        } else {
            keepFileUntouched_ = true;
            Log::print("Settings file", path, "holds unreadable values for", skipped, more,
                "and could not be copied aside; changes of this run will not be saved.");
        }
        lastReadProblem_ = SettingsReadProblem { SettingsReadProblem::Kind::valuesReset, path, aside, {},
            std::move(skipped), skippedCount };
    }
    return true;
}

void UserDefaults::mergeFileChangesLocked()
{
    // The file as this store knows it when its bytes are the same: another
    // writer replaces it whole, and a hand edit changes its bytes.
    using Outcome = PrivateFiles::SmallFile::Outcome;
    const PrivateFiles::SmallFile file = PrivateFiles::readSmallFile(filePath(), UserDefaults::largestReadFile);
    if (file.outcome == Outcome::missing ? !fileKnown_ : file.outcome == Outcome::read && file.bytes == fileKnown_)
        return;
    // An unreadable file leaves what this store knows as the base.
    QVariantMap current;
    if (!readFileLocked(current))
        return;
    for (auto it = changed_.constBegin(); it != changed_.constEnd(); ++it) {
        if (const auto own = stored_.constFind(it.key()); own != stored_.constEnd())
            current.insert(it.key(), *own);
        else
            current.remove(it.key());
    }
    stored_ = current;
}

void UserDefaults::noteChangeLocked(const QString& key)
{
    changed_.insert(key, ++generation_);
}

bool UserDefaults::failedLocked(SaveFault fault, const QString& reason)
{
    if (!unsaved_)
        saveFailure_ = Failure { fault, reason };
    unsaved_ = true;
    return false;
}

bool UserDefaults::prepareSaveLocked(const std::function<bool()>& change, bool& changedValues)
{
    bool taken = false;
    changedValues = !change;
    const auto takeChange = [&] {
        if (change && !std::exchange(taken, true))
            changedValues = change();
    };
    const QString path = filePath();
    auto keptUntouched = [&] {
        Log::print("Settings not saved: the unreadable file", path, "is kept as it is.");
        return failedLocked(SaveFault::fileKept, path);
    };
    if (keepFileUntouched_) {
        takeChange();
        return keptUntouched();
    }
    // A folder refused now or at the start has been told already, with what
    // it means for the settings: no second notice.
    const auto refused = [&] {
        takeChange();
        Log::print("Settings not saved: the folder", folder_, "is not the user's own.");
        unsaved_ = true;
        return false;
    };
    if (folderRefused_)
        return refused();
    if (const auto fault = PrivateFiles::useOwnFolder(folder_, PrivateFiles::FolderUse::settings)) {
        if (*fault != PrivateFiles::FolderFault::notMade)
            return refused();
        takeChange();
        Log::print("Settings not saved: cannot create the folder", folder_);
        return failedLocked(
            SaveFault::folderNotWritable, QStringLiteral("the folder %1 cannot be created").arg(folder_));
    }
    // Held from reading the file to replacing it, so that a second instance's
    // change made in between is not lost; a save of this store that holds it
    // already keeps it for this change too. Without it (a writer that hangs)
    // the save goes on alone, taking in what was written up to the last
    // moment.
    if (!writersLock_) {
        writersLock_ = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
        if (!writersLock_->tryLock(2000))
            Log::print("Settings saved without the lock", writersLock_->fileName(), "(error",
                int(writersLock_->error()), ")");
        mergeFileChangesLocked();
    } else if (!writersLock_->isLocked()) {
        mergeFileChangesLocked();
    }
    takeChange();
    if (keepFileUntouched_)
        return keptUntouched();
    return true;
}

void UserDefaults::releaseWritersLockLocked()
{
    writersLock_.reset();
}

bool UserDefaults::saveNow(
    std::optional<Failure>& failure, const std::function<bool()>& change, Pending pending)
{
    // Saves follow one another whole, each writing stored_ as it was when it
    // was readied: the last change reaches the file last.
    std::lock_guard saving(saving_);
    QVariantMap values;
    QString givesWay;
    quint64 generation = 0;
    {
        std::lock_guard lock(mutex_);
        if (pending == Pending::only && !savePending_)
            return !unsaved_;
        // What waits to be saved behind is in this save.
        const bool behind = std::exchange(savePending_, false);
        bool changed = false;
        const bool ready = prepareSaveLocked(change, changed);
        settled_.notify_all();
        if (!ready) {
            releaseWritersLockLocked();
            failure = std::exchange(saveFailure_, std::nullopt);
            return false;
        }
        // The file holds every value already: nothing to write.
        if (!changed && !behind && !unsaved_) {
            releaseWritersLockLocked();
            return true;
        }
        values = stored_;
        givesWay = givesWay_;
        generation = generation_;
        writingFile_ = true;
    }

    // The bytes and the write, while reads and changes go on.
    const QString path = filePath();
    const SettingsFileBytes::WithinBound file = fileBytes_.withinBound(values, givesWay, largestFile);
    const int error = file.bytes ? PrivateFiles::replaceFileWhole(path, *file.bytes) : 0;
    // A list encoded anew takes many times its bytes for a moment; what the
    // heap keeps of that goes back to the system, on the writer thread, where
    // no one waits for it.
    if (pending == Pending::only && file.wanted > largeFile)
        giveFreedMemoryBack();

    if (file.bytes && !error)
        emit fileWritten();
    std::lock_guard lock(mutex_);
    writingFile_ = false;
    bool saved = false;
    if (!file.bytes && repairDue_ && generation == 0 && givesWay.isEmpty()) {
        // The start's save of what it could read, made before the program
        // named the array that gives way: no failure, it is made again once
        // that is named.
        Log::print("Settings: what could be read waits for the array that gives way to be named; it takes",
            file.wanted, "bytes.");
        if (givesWay_.isEmpty())
            repairWaits_ = true;
        else
            saveBehindLocked();
    } else if (!file.bytes) {
        Log::print("Settings not saved: they would take", file.wanted, "bytes, more than the", largestFile,
            "that are read back.");
        failedLocked(SaveFault::tooLarge, QString::number(file.wanted));
    } else if (error) {
        const QString reason = QString::fromLocal8Bit(std::strerror(error));
        Log::print("Settings not saved to", path + ":", reason);
        failedLocked(faultOf(error), QStringLiteral("%1: %2").arg(path, reason));
    } else {
        repairDue_ = false;
        fileKnown_ = *file.bytes;
        // The file holds every change made up to this save; a change made
        // since waits for the next.
        for (auto it = changed_.begin(); it != changed_.end();)
            it = it.value() <= generation ? changed_.erase(it) : std::next(it);
        // What gave way is gone from this run too, unless the array changed
        // since: the next save gives way again.
        if (file.gaveWay && !changed_.contains(givesWay))
            stored_.insert(givesWay, values.value(givesWay));
        unsaved_ = false;
        saved = true;
    }
    if (!savePending_)
        releaseWritersLockLocked();
    failure = std::exchange(saveFailure_, std::nullopt);
    return saved;
}

void UserDefaults::saveBehindLocked()
{
    savePending_ = true;
    if (!writer_.joinable())
        writer_ = std::thread([this] { writeBehind(); });
    wake_.notify_one();
}

void UserDefaults::writeBehind()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return savePending_ || ending_; });
        if (!savePending_)
            return;
        writing_ = true;
        lock.unlock();
        std::optional<Failure> failure;
        saveNow(failure, {}, Pending::only);
        tellFailure(failure);
        lock.lock();
        writing_ = false;
        settled_.notify_all();
    }
}

void UserDefaults::waitForSaveBehind()
{
    std::unique_lock lock(mutex_);
    settled_.wait(lock, [this] { return !savePending_ && !writing_; });
}

UserDefaults::~UserDefaults()
{
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    if (writer_.joinable())
        writer_.join();
}

void UserDefaults::tellFailure(const std::optional<Failure>& failure)
{
    if (failure)
        emit saveFailed(failure->fault, failure->reason);
}

void UserDefaults::setOldestGiveWay(const QString& arrayKey)
{
    std::lock_guard lock(mutex_);
    givesWay_ = arrayKey;
    if (std::exchange(repairWaits_, false))
        saveBehindLocked();
}

void UserDefaults::registerDefaults(const QVariantMap& defaults)
{
    std::lock_guard lock(mutex_);
    for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it) {
        if (std::optional<QVariant> value = Setting::normalized(it.value()))
            registered_.insert(it.key(), *value);
        else
            Log::print("Default setting not registered, its type cannot be stored:", it.key());
    }
}

bool UserDefaults::setVolatileValue(const QString& key, const QVariant& value)
{
    const std::optional<QVariant> kept = Setting::normalized(value);
    if (!kept) {
        Log::print("Volatile setting refused, its type cannot be stored:", key);
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        volatile_.insert(key, *kept);
    }
    emit valueChanged(key);
    return true;
}

QVariant UserDefaults::object(const QString& key) const
{
    std::lock_guard lock(mutex_);
    if (const auto found = volatile_.constFind(key); found != volatile_.constEnd())
        return *found;
    if (const auto found = stored_.constFind(key); found != stored_.constEnd())
        return *found;
    return registered_.value(key);
}

bool UserDefaults::setValue(const QString& key, const QVariant& value, Saving saving)
{
    const std::optional<QVariant> kept = Setting::normalized(value);
    if (!kept) {
        Log::print("Setting not stored, its type cannot be stored:", key);
        return false;
    }
    {
        // A value stored as it is changes nothing: the file is not written
        // again for it, however large it is.
        std::lock_guard lock(mutex_);
        if (const auto found = stored_.constFind(key);
            found != stored_.constEnd() && Setting::writtenAlike(*found, *kept))
            return !unsaved_;
    }
    if (saving == Saving::behind)
        return changeBehind(key, [&] { return storeLocked(key, *kept); });
    std::optional<Failure> failure;
    bool changed = false;
    const bool saved = saveNow(failure, [&] {
        changed = storeLocked(key, *kept);
        return changed;
    });
    if (changed)
        emit valueChanged(key);
    tellFailure(failure);
    return saved;
}

bool UserDefaults::changeBehind(const QString& key, const std::function<bool()>& change)
{
    // Only the values change here: the writer thread readies the save (the
    // writers' lock, what another writer stored meanwhile, this store's own
    // changes winning) and makes and writes the file's bytes.
    bool changed = false;
    bool fine = false;
    {
        std::lock_guard lock(mutex_);
        changed = change();
        if (changed)
            saveBehindLocked();
        fine = !unsaved_ && !keepFileUntouched_ && !folderRefused_;
    }
    if (changed)
        emit valueChanged(key);
    return fine;
}

bool UserDefaults::storeLocked(const QString& key, const QVariant& value)
{
    // Another writer may have stored the same value meanwhile.
    if (const auto found = stored_.constFind(key); found != stored_.constEnd() && Setting::writtenAlike(*found, value))
        return false;
    stored_.insert(key, value);
    noteChangeLocked(key);
    return true;
}

bool UserDefaults::updateValue(
    const QString& key, const std::function<QVariant(const QVariant& stored)>& change, Saving saving)
{
    bool refused = false;
    bool changed = false;
    const auto apply = [&] {
        const std::optional<QVariant> kept = Setting::normalized(change(stored_.value(key)));
        if (!kept) {
            refused = true;
            return false;
        }
        changed = storeLocked(key, *kept);
        return changed;
    };
    bool saved = false;
    std::optional<Failure> failure;
    if (saving == Saving::now) {
        saved = saveNow(failure, apply);
    } else {
        std::lock_guard lock(mutex_);
        bool ignored = false;
        saved = prepareSaveLocked(apply, ignored);
        if (saved && changed)
            saveBehindLocked();
        else if (!savePending_ && !writingFile_)
            releaseWritersLockLocked();
        failure = std::exchange(saveFailure_, std::nullopt);
    }
    if (refused) {
        Log::print("Setting not stored, its type cannot be stored:", key);
        return false;
    }
    if (changed)
        emit valueChanged(key);
    tellFailure(failure);
    return saved;
}

bool UserDefaults::removeValue(const QString& key, Saving saving)
{
    {
        std::lock_guard lock(mutex_);
        if (!stored_.contains(key))
            return !unsaved_;
    }
    bool changed = false;
    const auto remove = [&] {
        changed = stored_.remove(key) > 0;
        if (changed)
            noteChangeLocked(key);
        return changed;
    };
    if (saving == Saving::behind)
        return changeBehind(key, remove);
    std::optional<Failure> failure;
    const bool saved = saveNow(failure, remove);
    if (changed)
        emit valueChanged(key);
    tellFailure(failure);
    return saved;
}

bool UserDefaults::synchronize()
{
    waitForSaveBehind();
    bool unsaved = false;
    {
        // A save another thread is making ends first.
        std::lock_guard saving(saving_);
        std::lock_guard lock(mutex_);
        unsaved = unsaved_;
    }
    if (!unsaved)
        return true;
    std::optional<Failure> failure;
    const bool saved = saveNow(failure);
    tellFailure(failure);
    return saved;
}
