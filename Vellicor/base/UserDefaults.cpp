#include "base/UserDefaults.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "base/PrivateFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

// The file keeps every value as an object of one member whose name is the
// type, so a Bool, an integer, a real, a date and a text stay apart and 64-bit
// integers keep every digit.
constexpr QLatin1StringView tagBool("bool");
constexpr QLatin1StringView tagInteger("integer");
constexpr QLatin1StringView tagReal("real");
constexpr QLatin1StringView tagText("text");
constexpr QLatin1StringView tagDate("date");
constexpr QLatin1StringView tagArray("array");
constexpr QLatin1StringView tagDictionary("dictionary");

// A settings file larger than UserDefaults::largestFile is not read into
// memory; it is kept as it is rather than set aside, since it may well parse.
// The store never writes one (an earlier version could).
constexpr qint64 largestReadableFile = UserDefaults::largestFile;

QJsonValue encode(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return QJsonObject { { tagBool, value.toBool() } };
    case QMetaType::LongLong:
        return QJsonObject { { tagInteger, QString::number(value.toLongLong()) } };
    case QMetaType::ULongLong:
        return QJsonObject { { tagInteger, QString::number(value.toULongLong()) } };
    case QMetaType::Double:
        return QJsonObject { { tagReal, value.toDouble() } };
    case QMetaType::QDateTime:
        return QJsonObject { { tagDate, value.toDateTime().toUTC().toString(Qt::ISODateWithMs) } };
    case QMetaType::QVariantList: {
        QJsonArray items;
        for (const QVariant& item : value.toList())
            items.append(encode(item));
        return QJsonObject { { tagArray, items } };
    }
    case QMetaType::QVariantMap: {
        QJsonObject members;
        const QVariantMap map = value.toMap();
        for (auto it = map.constBegin(); it != map.constEnd(); ++it)
            members.insert(it.key(), encode(it.value()));
        return QJsonObject { { tagDictionary, members } };
    }
    default:
        return QJsonObject { { tagText, value.toString() } };
    }
}

std::optional<QVariant> decodeInteger(const QJsonValue& value)
{
    if (value.isString()) {
        bool ok = false;
        const qlonglong number = value.toString().toLongLong(&ok);
        if (ok)
            return QVariant::fromValue<qlonglong>(number);
        const qulonglong large = value.toString().toULongLong(&ok);
        if (ok)
            return QVariant::fromValue<qulonglong>(large);
        return std::nullopt;
    }
    // A hand-edited file may hold a plain number; only exact integers count.
    if (value.isDouble()) {
        const double number = value.toDouble();
        if (std::trunc(number) == number && std::fabs(number) <= 9007199254740992.0)
            return QVariant::fromValue<qlonglong>(static_cast<qlonglong>(number));
    }
    return std::nullopt;
}

std::optional<QVariant> decode(const QJsonValue& encoded)
{
    if (!encoded.isObject())
        return std::nullopt;
    const QJsonObject wrapper = encoded.toObject();
    if (wrapper.size() != 1)
        return std::nullopt;
    const QString tag = wrapper.constBegin().key();
    const QJsonValue value = wrapper.constBegin().value();

    if (tag == tagBool && value.isBool())
        return QVariant(value.toBool());
    if (tag == tagInteger)
        return decodeInteger(value);
    if (tag == tagReal && value.isDouble())
        return QVariant(value.toDouble());
    if (tag == tagText && value.isString())
        return QVariant(value.toString());
    if (tag == tagDate && value.isString()) {
        const QDateTime date = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
        if (!date.isValid())
            return std::nullopt;
        return QVariant(date.toUTC());
    }
    if (tag == tagArray && value.isArray()) {
        QVariantList items;
        for (const QJsonValue& item : value.toArray()) {
            std::optional<QVariant> decoded = decode(item);
            if (!decoded)
                return std::nullopt;
            items.append(*decoded);
        }
        return QVariant(items);
    }
    if (tag == tagDictionary && value.isObject()) {
        QVariantMap members;
        const QJsonObject object = value.toObject();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            std::optional<QVariant> decoded = decode(it.value());
            if (!decoded)
                return std::nullopt;
            members.insert(it.key(), *decoded);
        }
        return QVariant(members);
    }
    return std::nullopt;
}

// The member "key":value as it stands in the file's compact object.
QByteArray encodedMember(const QString& key, const QVariant& value)
{
    const QByteArray object = QJsonDocument(QJsonObject { { key, encode(value) } }).toJson(QJsonDocument::Compact);
    return object.mid(1, object.size() - 2);
}

// The same list: the copy kept shares its elements until either changes.
bool isSameList(const QVariant& kept, const QVariant& value)
{
    if (kept.typeId() != QMetaType::QVariantList || value.typeId() != QMetaType::QVariantList)
        return false;
    const auto* a = static_cast<const QVariantList*>(kept.constData());
    const auto* b = static_cast<const QVariantList*>(value.constData());
    return a->size() == b->size() && a->constData() == b->constData();
}

// An element of an array as it stands in the file: encode makes an object,
// written alike on its own and inside the array.
QByteArray encodedElement(const QVariant& element)
{
    return QJsonDocument(encode(element).toObject()).toJson(QJsonDocument::Compact);
}

// The bytes an element takes in the file, with its comma.
qint64 sizeInArray(const QVariant& element)
{
    return encodedElement(element).size() + 1;
}

// Whether two stored values are written alike: the same types throughout and
// the same values.
bool writtenAlike(const QVariant& a, const QVariant& b)
{
    if (a.typeId() != b.typeId())
        return false;
    switch (a.typeId()) {
    case QMetaType::QVariantList: {
        const auto* x = static_cast<const QVariantList*>(a.constData());
        const auto* y = static_cast<const QVariantList*>(b.constData());
        return x->size() == y->size() && std::equal(x->cbegin(), x->cend(), y->cbegin(), writtenAlike);
    }
    case QMetaType::QVariantMap: {
        const auto* x = static_cast<const QVariantMap*>(a.constData());
        const auto* y = static_cast<const QVariantMap*>(b.constData());
        if (x->size() != y->size())
            return false;
        for (auto i = x->cbegin(), j = y->cbegin(); i != x->cend(); ++i, ++j)
            if (i.key() != j.key() || !writtenAlike(i.value(), j.value()))
                return false;
        return true;
    }
    case QMetaType::Double:
        return a.toDouble() == b.toDouble() && std::signbit(a.toDouble()) == std::signbit(b.toDouble());
    case QMetaType::QDateTime:
        return a.toDateTime().toMSecsSinceEpoch() == b.toDateTime().toMSecsSinceEpoch();
    case QMetaType::Bool:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::QString:
        return a == b;
    default:
        return false;
    }
}

// The member of key for list, when list is written's list with elements
// added at its end (a record added to the history): written's bytes with the
// new elements' after them; none otherwise.
std::optional<QByteArray> extendedMember(const QVariant& written, const QByteArray& member, const QVariant& list)
{
    if (written.typeId() != QMetaType::QVariantList || list.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    const auto* before = static_cast<const QVariantList*>(written.constData());
    const auto* now = static_cast<const QVariantList*>(list.constData());
    if (now->size() <= before->size() || !std::equal(before->cbegin(), before->cend(), now->cbegin(), writtenAlike))
        return std::nullopt;
    // The member ends in "]}".
    QByteArray extended = member.chopped(2);
    for (qsizetype i = before->size(); i < now->size(); ++i) {
        if (i > 0)
            extended.append(',');
        extended.append(encodedElement(now->at(i)));
    }
    return extended.append("]}");
}

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

// A free name beside path for a copy of a file that could not be read.
QString asideName(const QString& path)
{
    const QString stem = path + QStringLiteral(".damaged-")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString candidate = stem;
    for (int n = 2; QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink(); ++n)
        candidate = stem + QLatin1Char('-') + QString::number(n);
    return candidate;
}

QByteArray digestOf(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
}

// The digest of the file now; empty when there is none, and a text no digest
// equals when it cannot be read.
QByteArray currentDigest(const QString& path)
{
    const PrivateFiles::SmallFile file = PrivateFiles::readSmallFile(path, largestReadableFile);
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
    const PrivateFiles::SmallFile file = PrivateFiles::readSmallFile(path, largestReadableFile);
    if (file.outcome == Outcome::missing)
        return true;

    if (file.outcome == Outcome::tooLarge) {
        keepFileUntouched_ = true;
        Log::print("Settings file", path, "is too large to read (", file.size,
            "bytes); starting on the default settings without saving changes.");
        lastReadProblem_ = SettingsReadProblem { SettingsReadProblem::Kind::tooLarge, path, {},
            QStringLiteral("%1 bytes").arg(file.size), {} };
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
        const QString aside = asideName(path);
        if (QFile::rename(path, aside)) {
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
        if (std::optional<QVariant> value = decode(it.value()))
            values.insert(it.key(), *value);
        else
            skipped.append(it.key());
    }
    if (!skipped.isEmpty()) {
        // The next save drops these entries, so the original is kept first.
        const QString aside = asideName(path);
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

    qint64 wanted = 0;
    const std::optional<QByteArray> bytes = fileBytesWithinBoundLocked(wanted);
    if (!bytes) {
        Log::print("Settings not saved: they would take", wanted, "bytes, more than the", largestFile,
            "that are read back.");
        return failed(SaveFault::tooLarge, QString::number(wanted));
    }
    if (const int error = PrivateFiles::replaceFileWhole(path, *bytes)) {
        const QString reason = QString::fromLocal8Bit(std::strerror(error));
        Log::print("Settings not saved to", path + ":", reason);
        return failed(faultOf(error), QStringLiteral("%1: %2").arg(path, reason));
    }
    changed_.clear();
    fileDigest_ = digestOf(*bytes);
    unsaved_ = false;
    return true;
}

QByteArray UserDefaults::fileBytesLocked(const QVariantMap& values)
{
    // The members in the order the toolkit's object keeps its keys, so the
    // file reads byte for byte as a whole document written at once.
    QJsonObject order;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        order.insert(it.key(), QJsonValue());
    QHash<QString, EncodedList> kept;
    QByteArray bytes("{");
    for (auto it = order.constBegin(); it != order.constEnd(); ++it) {
        const QVariant& value = *values.constFind(it.key());
        if (bytes.size() > 1)
            bytes.append(',');
        if (value.typeId() != QMetaType::QVariantList) {
            bytes.append(encodedMember(it.key(), value));
            continue;
        }
        const auto found = encodedLists_.constFind(it.key());
        std::optional<EncodedList> list;
        if (found != encodedLists_.constEnd() && isSameList(found->value, value))
            list = *found;
        else if (found != encodedLists_.constEnd())
            if (std::optional<QByteArray> extended = extendedMember(found->value, found->member, value))
                list = EncodedList { value, std::move(*extended) };
        if (!list)
            list = EncodedList { value, encodedMember(it.key(), value) };
        bytes.append(list->member);
        kept.insert(it.key(), std::move(*list));
    }
    bytes.append('}');
    encodedLists_ = std::move(kept);
    return bytes;
}

std::optional<QByteArray> UserDefaults::fileBytesWithinBoundLocked(qint64& wanted)
{
    QByteArray bytes = fileBytesLocked(stored_);
    wanted = bytes.size();
    if (wanted <= largestFile)
        return bytes;
    const auto found = givesWay_.isEmpty() ? stored_.constEnd() : stored_.constFind(givesWay_);
    const std::optional<QVariantList> items
        = found == stored_.constEnd() ? std::nullopt : Setting::toArray(*found);
    if (!items)
        return std::nullopt;
    // The oldest first, as few as make the room; usually the one record a
    // new one replaces.
    qint64 excess = wanted - largestFile;
    qsizetype dropped = 0;
    qint64 droppedBytes = 0;
    while (excess > 0 && dropped < items->size()) {
        const qint64 size = sizeInArray(items->at(dropped++));
        excess -= size;
        droppedBytes += size;
    }
    QVariantMap fitted = stored_;
    const QVariant kept(items->mid(dropped));
    fitted.insert(givesWay_, kept);
    // The array as written less the elements that gave way, each with its
    // comma, is what encoding the rest would make.
    const auto written = encodedLists_.constFind(givesWay_);
    if (dropped < items->size() && written != encodedLists_.constEnd() && isSameList(written->value, *found)) {
        const qsizetype first = encodedMember(givesWay_, QVariantList()).size() - 2;
        encodedLists_.insert(givesWay_,
            EncodedList { kept, written->member.left(first) + written->member.mid(first + droppedBytes) });
    }
    bytes = fileBytesLocked(fitted);
    if (bytes.size() > largestFile)
        return std::nullopt;
    Log::print("Settings: the", dropped, "oldest of", items->size(), "entries of", givesWay_,
        "gave way to keep the file within", largestFile, "bytes.");
    stored_ = std::move(fitted);
    changed_.insert(givesWay_);
    return bytes;
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
