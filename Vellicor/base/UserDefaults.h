#pragma once

#include "base/SettingValue.h"
#include "base/SettingsFileBytes.h"

#include <QDateTime>
#include <QObject>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class QLockFile;

// What went wrong reading the settings file when the store was made, for the
// user to be told once the window is up.
struct SettingsReadProblem {
    enum class Kind {
        // The file did not parse: it was moved to keptAt, every setting reset.
        setAside,
        // The file did not parse and could not be moved: every setting reset,
        // and nothing is saved this run so the file stays for repair.
        keptInPlace,
        // Some values did not parse (keyCount of them, the first named in
        // keys): they read as missing; the file was copied to keptAt first
        // (or found there, copied by an earlier start) and the store saved
        // without them, or, with keptAt empty, could not be copied and
        // nothing is saved this run.
        valuesReset,
        // Past UserDefaults::largestReadFile (reason: its size in bytes): it
        // was moved to keptAt unread and every setting reset; or, with keptAt
        // empty, it could not be moved and nothing is saved this run.
        tooLarge,
    };
    Kind kind = Kind::setAside;
    QString path;
    QString keptAt;
    QString reason;
    // The first keys of the values that did not parse, at most namedKeys.
    QStringList keys;
    qsizetype keyCount = 0;
    static constexpr qsizetype namedKeys = 100;
};

// The settings store. Three domains: volatile values, set for one run and
// never written; registered defaults, supplied at every start and never
// written; and stored values, kept in one typed JSON file in the settings
// folder. A read answers the volatile value, else the stored one, else the
// registered one; a typed read passes over a value of another type, so a
// mistyped stored value reads as the registered default.
//
// Every write saves the whole file at once through a temporary file that
// replaces the old one only when complete, so a crash or a full disk leaves
// the previous file as it was. Another process (a second instance) may have
// written the file since this store read it: the write then starts from the
// file as it is now, and this store's values win only for the keys it changed
// itself. A lock file keeps two writers from interleaving.
//
// A change is saved behind unless asked otherwise (Saving::behind): it is in
// effect, and read, at once, and the store's writer thread makes and writes
// the file's bytes, the newest values only when changes come faster than
// saves, so that the window's thread never waits for them. The writers' lock
// is held from readying the save (for updateValue, from the change) to the
// end of the last save behind, so no other writer comes between.
// synchronize() and the store's end wait for such a save: the program calls
// synchronize() before it ends.
//
// Safe from any thread. valueChanged is emitted on the changing thread after
// the change; connect with a context object so the slot runs on its own
// thread.
class UserDefaults : public QObject {
    Q_OBJECT
public:
    // The largest settings file the store writes. A record of the scan
    // history takes about 126 bytes of it, a folder entry about 100 and its
    // path.
    static constexpr qint64 largestFile = qint64(8) * 1024 * 1024;
    // The largest it reads, well past what it writes: an earlier version
    // wrote the history past largestFile, and such a file is read whole (the
    // next save writes it back within largestFile). 32 MiB is some 260,000
    // records of scans and clean-ups, more than decades of daily use make.
    // Parsing takes for a moment up to 26 times a file's size (a file of
    // nothing but the smallest values; a history about 15 times), so no file
    // makes the start take more than about 850 MB; a file past this bound is
    // set aside unread.
    static constexpr qint64 largestReadFile = qint64(32) * 1024 * 1024;

    // Why a save failed, for the user to be told what to do.
    enum class SaveFault {
        // The settings would pass largestFile: nothing was written.
        tooLarge,
        // No room on the disk, or in the user's quota.
        diskFull,
        // The folder cannot be made, or written in.
        folderNotWritable,
        // The file could not be read at the start and is kept as it is.
        fileKept,
        // Anything else the system said.
        other,
    };
    Q_ENUM(SaveFault)

    // A store over settingsFolder/settings.json. Reads the file if there is
    // one; creates nothing until the first write. A file that does not parse,
    // or is past largestReadFile, is moved aside and logged, and the store
    // starts on the registered defaults; a file that parses within the bound
    // is never set aside. A file that cannot be moved aside is kept as it is
    // and nothing is saved this run. A folder that is not the user's own is
    // neither read nor written (it is told as every refused folder is,
    // through FolderRefusals). The file is read under the writers' lock, so
    // a save that another store is making is read once it is done; temporary
    // files that a save cut short left in the folder are removed then.
    explicit UserDefaults(const QString& settingsFolder, QObject* parent = nullptr);
    // Waits for a save behind still to be made.
    ~UserDefaults() override;

    // The application's store in AppPaths::settingsFolder(), created on first
    // use and kept until the process ends.
    static UserDefaults& standard();

    static constexpr char fileName[] = "settings.json";
    QString filePath() const;

    // Names the array that gives way when a save would pass largestFile:
    // its oldest elements (the first) are dropped, as few as make the file
    // fit, and everything else is kept whole. The scan history is such an
    // array. Without one, or when even that does not make room, the save is
    // refused as tooLarge and the values stay for this run.
    void setOldestGiveWay(const QString& arrayKey);

    // Adds to the registration domain; a key registered again takes the new
    // default. Never touches a stored value or the file.
    void registerDefaults(const QVariantMap& defaults);

    // Sets a value that answers before the stored one for the rest of this
    // process and is never saved, so a one-off run (a headless scan with its
    // own options) leaves the user's file as it was. A stored value of the
    // same key keeps being written by setValue but does not answer while the
    // volatile one is set. A value of a type the store cannot keep is refused.
    bool setVolatileValue(const QString& key, const QVariant& value);

    // The volatile value, else the stored value, else the registered default,
    // else an invalid QVariant, whatever its type.
    QVariant object(const QString& key) const;
    // The first of those values that has the type asked for.
    std::optional<bool> boolValue(const QString& key) const { return typedValue(key, Setting::toBool); }
    std::optional<qint64> integerValue(const QString& key) const { return typedValue(key, Setting::toInteger); }
    std::optional<double> realValue(const QString& key) const { return typedValue(key, Setting::toReal); }
    std::optional<QString> textValue(const QString& key) const { return typedValue(key, Setting::toText); }
    std::optional<QDateTime> dateValue(const QString& key) const { return typedValue(key, Setting::toDate); }
    std::optional<QVariantList> arrayValue(const QString& key) const { return typedValue(key, Setting::toArray); }
    std::optional<QVariantMap> dictionaryValue(const QString& key) const
    {
        return typedValue(key, Setting::toDictionary);
    }

    // How a change reaches the file: saved before the call returns, or by
    // the store's writer thread (a failure then told by saveFailed only).
    // Behind, the change is in effect and read at once, and the window's
    // thread neither makes nor writes the file's bytes.
    enum class Saving { now, behind };
    // Stores the value and saves the file. A value of a type the store cannot
    // keep is refused and logged. The value stays in effect for this run even
    // when the save fails; saved now, false then, and the failure is logged;
    // saved behind, true when the change is taken and no save is known to
    // fail. A value written alike to the one stored changes nothing: nothing
    // is saved and valueChanged is not emitted (false only while an earlier
    // save failed).
    bool setValue(const QString& key, const QVariant& value, Saving saving = Saving::behind);
    // Forgets the stored value, so the registered default answers again.
    bool removeValue(const QString& key, Saving saving = Saving::behind);
    // Stores what change makes of the key's stored value as the file holds it
    // now, read afresh under the writers' lock (an invalid QVariant when it
    // holds none), and saves: a change that another process made to the same
    // key since this store read the file is handed to change rather than
    // overwritten. change runs once, under the store's lock, and must not call
    // the store. Refused and logged like setValue; saved behind, true when the
    // change is taken and no save is known to fail.
    bool updateValue(const QString& key, const std::function<QVariant(const QVariant& stored)>& change,
        Saving saving = Saving::behind);

    // Waits for a save behind, then saves again when an earlier save failed;
    // true when the file holds every stored value.
    bool synchronize();

    // The problem met reading the file when the store was made, if any.
    std::optional<SettingsReadProblem> readProblemAtStart() const;

signals:
    void valueChanged(const QString& key);
    // A save failed after the last one succeeded (or after the start): once
    // per run of failures, not once per failed save. Emitted on the writing
    // thread, outside the store's lock; reason is for the user (the system's
    // words, or the sizes for tooLarge).
    void saveFailed(UserDefaults::SaveFault fault, const QString& reason);
    // A save wrote the file. Emitted on the thread that made and wrote its
    // bytes, outside the store's lock but before the next save may start: a
    // slot connected directly must not save now.
    void fileWritten();

private:
    template <typename T>
    std::optional<T> typedValue(const QString& key, std::optional<T> (*read)(const QVariant&)) const
    {
        std::lock_guard lock(mutex_);
        for (const QVariantMap* domain : { &volatile_, &stored_, &registered_ }) {
            if (const auto found = domain->constFind(key); found != domain->constEnd()) {
                if (std::optional<T> value = read(*found))
                    return value;
            }
        }
        return std::nullopt;
    }

    // Reads the file into values; false when it could not be read, after
    // setting it aside (or keeping it untouched when that fails).
    bool readFileLocked(QVariantMap& values);
    void mergeFileChangesLocked();
    // Removes what saves cut short left in the folder; the writers' lock is
    // held.
    void removeLeftoversLocked();
    // A key of stored_ set or removed by this process.
    void noteChangeLocked(const QString& key);
    // Readies a save: the folder the user's own and made, the writers' lock
    // held (taken now unless a save of this store holds it) and what another
    // writer stored meanwhile taken in; then change, when given, runs once on
    // stored_. False when no save can be made (change has run all the same):
    // unsaved_ and saveFailure_ are set, the caller emits saveFailed after
    // unlocking when saveFailure_ was taken.
    // change answers whether it changed stored_; changedValues tells it (true
    // without a change).
    bool prepareSaveLocked(const std::function<bool()>& change, bool& changedValues);
    // Stores value under key unless stored_ holds it already; whether it did.
    bool storeLocked(const QString& key, const QVariant& value);
    void releaseWritersLockLocked();
    struct Failure {
        SaveFault fault = SaveFault::other;
        QString reason;
    };
    enum class Pending { any, only };
    // One save: readied under the store's lock, then the file's bytes made
    // and written without it, so that reads and changes go on meanwhile. With
    // Pending::only, nothing is done unless a save behind waits; a change that
    // changes nothing writes nothing unless an earlier save failed.
    bool saveNow(std::optional<Failure>& failure, const std::function<bool()>& change = {},
        Pending pending = Pending::any);
    bool failedLocked(SaveFault fault, const QString& reason);
    void tellFailure(const std::optional<Failure>& failure);
    // Hands the save of what stored_ holds now to the writer thread.
    void saveBehindLocked();
    // Runs change on stored_ under the store's lock and, when it changed
    // anything, saves behind; whether no save is known to fail.
    bool changeBehind(const QString& key, const std::function<bool()>& change);
    void writeBehind();
    void waitForSaveBehind();

    QString folder_;
    mutable std::mutex mutex_;
    // One save at a time, from readying it to writing the file; taken before
    // mutex_, never while holding it.
    std::mutex saving_;
    QVariantMap volatile_;
    QVariantMap registered_;
    QVariantMap stored_;
    // Changes made to stored_ by this process, counted.
    quint64 generation_ = 0;
    // Keys set or removed by this process since the file last took them, each
    // with the count of its last change.
    QHash<QString, quint64> changed_;
    // The file as this store last read or wrote it; none when there was none.
    std::optional<QByteArray> fileKnown_;
    // The writers' lock, from readying a save to the end of the last save
    // behind that followed it.
    std::unique_ptr<QLockFile> writersLock_;
    // The writer thread, made at the first save behind.
    std::thread writer_;
    std::condition_variable wake_;
    std::condition_variable settled_;
    bool savePending_ = false;
    bool writing_ = false;
    // A save, on whichever thread, makes and writes the file's bytes: the
    // writers' lock is its until it ends.
    bool writingFile_ = false;
    bool ending_ = false;
    bool unsaved_ = false;
    // Why the last save failed; set only on the first failure of a run of
    // them, cleared when taken.
    std::optional<Failure> saveFailure_;
    QString givesWay_;
    // The file's bytes, with the lists' encodings kept from the last save;
    // used under saving_ only.
    SettingsFileBytes fileBytes_;
    std::optional<SettingsReadProblem> lastReadProblem_;
    std::optional<SettingsReadProblem> startProblem_;
    // What the start could read is to be saved without what it could not;
    // it waits for the array that gives way to be named when it did not fit
    // without it.
    bool repairDue_ = false;
    bool repairWaits_ = false;
    // Set when a damaged file could not be moved aside, or a file is too large
    // to read: saving would destroy it, so this run keeps its changes in
    // memory only.
    bool keepFileUntouched_ = false;
    // Set when the settings folder is not the user's own (PrivateFiles): its
    // file is neither read nor written this run.
    bool folderRefused_ = false;
};
