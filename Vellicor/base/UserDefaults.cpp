#include "base/UserDefaults.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "base/PrivateFiles.h"

#include <QCryptographicHash>
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

QByteArray digestOf(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
}

// The digest of the file now; empty when there is none, and a text no digest
// equals when it cannot be read.
QByteArray currentDigest(const QString& path)
{
    const PrivateFiles::SmallFile file = PrivateFiles::readSmallFile(path, UserDefaults::largestReadFile);
    if (file.outcome == PrivateFiles::SmallFile::Outcome::missing)
        return QByteArray();
    if (file.outcome != PrivateFiles::SmallFile::Outcome::read)
        return QByteArrayLiteral("unreadable");
    return digestOf(file.bytes);
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
    readFileLocked(stored_);
    startProblem_ = lastReadProblem_;
    if (!fault)
        removeLeftoversLocked();
}

void UserDefaults::removeLeftoversLocked()
{
    // A save holds the lock from its start to its rename, so what is there
    // while the lock is held no writer is still making. Held by another
    // instance: its leftovers wait for the next start.
    QLockFile lock(filePath() + QStringLiteral(".lock"));
    if (!lock.tryLock(0))
        return;
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
    fileDigest_.clear();
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
        fileDigest_ = digestOf(file.bytes);
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
            fileDigest_.clear();
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

    QStringList skipped;
    for (auto it = root.constBegin(); it != root.constEnd(); ++it) {
        if (std::optional<QVariant> value = SettingsFileBytes::decode(it.value()))
            values.insert(it.key(), *value);
        else
            skipped.append(it.key());
    }
    if (!skipped.isEmpty()) {
        // The next save drops these entries, so the original is kept first.
        const QString aside = asideName(path, QLatin1StringView(".damaged"));
        const bool copied = QFile::copy(path, aside);
        if (copied) {
            Log::print("Settings file", path, "holds unreadable values for", skipped,
                "; they read as missing. The original file is kept as", aside);
        } else {
            keepFileUntouched_ = true;
            Log::print("Settings file", path, "holds unreadable values for", skipped,
                "and could not be copied aside; changes of this run will not be saved.");
        }
        lastReadProblem_ = SettingsReadProblem { SettingsReadProblem::Kind::valuesReset, path,
            copied ? aside : QString(), {}, skipped };
    }
    return true;
}

void UserDefaults::mergeFileChangesLocked()
{
    if (currentDigest(filePath()) == fileDigest_)
        return;
    // An unreadable file leaves what this store knows as the base.
    QVariantMap current;
    if (!readFileLocked(current))
        return;
    for (const QString& key : std::as_const(changed_)) {
        if (const auto own = stored_.constFind(key); own != stored_.constEnd())
            current.insert(key, *own);
        else
            current.remove(key);
    }
    stored_ = current;
}

bool UserDefaults::saveLocked(const std::function<void()>& change)
{
    bool changed = false;
    const auto takeChange = [&] {
        if (change && !std::exchange(changed, true))
            change();
    };
    const QString path = filePath();
    const auto failed = [&](SaveFault fault, const QString& reason) {
        if (!unsaved_)
            saveFailure_ = Failure { fault, reason };
        unsaved_ = true;
        return false;
    };
    auto keptUntouched = [&] {
        Log::print("Settings not saved: the unreadable file", path, "is kept as it is.");
        return failed(SaveFault::fileKept, path);
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
        return failed(SaveFault::folderNotWritable, QStringLiteral("the folder %1 cannot be created").arg(folder_));
    }
    // Held from reading the file to replacing it, so that a second instance's
    // change made in between is not lost. Without it (a writer that hangs)
    // the save goes on alone.
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(2000))
        Log::print("Settings saved without the lock", lock.fileName(), "(error", int(lock.error()), ")");
    mergeFileChangesLocked();
    takeChange();
    if (keepFileUntouched_)
        return keptUntouched();

    const SettingsFileBytes::WithinBound file = fileBytes_.withinBound(stored_, givesWay_, largestFile);
    if (file.gaveWay)
        changed_.insert(givesWay_);
    if (!file.bytes) {
        Log::print("Settings not saved: they would take", file.wanted, "bytes, more than the", largestFile,
            "that are read back.");
        return failed(SaveFault::tooLarge, QString::number(file.wanted));
    }
    const QByteArray& bytes = *file.bytes;
    if (const int error = PrivateFiles::replaceFileWhole(path, bytes)) {
        const QString reason = QString::fromLocal8Bit(std::strerror(error));
        Log::print("Settings not saved to", path + ":", reason);
        return failed(faultOf(error), QStringLiteral("%1: %2").arg(path, reason));
    }
    changed_.clear();
    fileDigest_ = digestOf(bytes);
    unsaved_ = false;
    return true;
}

bool UserDefaults::saveAndTakeFailure(std::optional<Failure>& failure, const std::function<void()>& change)
{
    const bool saved = saveLocked(change);
    failure = std::exchange(saveFailure_, std::nullopt);
    return saved;
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

bool UserDefaults::setValue(const QString& key, const QVariant& value)
{
    const std::optional<QVariant> kept = Setting::normalized(value);
    if (!kept) {
        Log::print("Setting not stored, its type cannot be stored:", key);
        return false;
    }
    bool saved = false;
    std::optional<Failure> failure;
    {
        std::lock_guard lock(mutex_);
        stored_.insert(key, *kept);
        changed_.insert(key);
        saved = saveAndTakeFailure(failure);
    }
    emit valueChanged(key);
    tellFailure(failure);
    return saved;
}

bool UserDefaults::updateValue(const QString& key, const std::function<QVariant(const QVariant& stored)>& change)
{
    bool refused = false;
    bool saved = false;
    std::optional<Failure> failure;
    {
        std::lock_guard lock(mutex_);
        saved = saveAndTakeFailure(failure, [&] {
            const std::optional<QVariant> kept = Setting::normalized(change(stored_.value(key)));
            if (!kept) {
                refused = true;
                return;
            }
            stored_.insert(key, *kept);
            changed_.insert(key);
        });
    }
    if (refused) {
        Log::print("Setting not stored, its type cannot be stored:", key);
        return false;
    }
    emit valueChanged(key);
    tellFailure(failure);
    return saved;
}

bool UserDefaults::removeValue(const QString& key)
{
    bool saved = false;
    std::optional<Failure> failure;
    {
        std::lock_guard lock(mutex_);
        if (stored_.remove(key) == 0)
            return !unsaved_;
        changed_.insert(key);
        saved = saveAndTakeFailure(failure);
    }
    emit valueChanged(key);
    tellFailure(failure);
    return saved;
}

bool UserDefaults::synchronize()
{
    std::optional<Failure> failure;
    bool saved = true;
    {
        std::lock_guard lock(mutex_);
        saved = !unsaved_ || saveAndTakeFailure(failure);
    }
    tellFailure(failure);
    return saved;
}
