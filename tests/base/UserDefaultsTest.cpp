#include "base/UserDefaults.h"
#include "base/AppPaths.h"
#include "base/PrivateFiles.h"
#include "base/SettingValue.h"
#include "base/SettingsFileBytes.h"
#include "support/MemoryBound.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"
#include "support/Watchdog.h"

#include "../../bench/PeakMemory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QPoint>
#include <QSignalSpy>
#include <QThread>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <limits>
#include <mutex>
#include <vector>

namespace {

struct UserDefaultsTest : ::testing::Test {
    TempHome home;
    QString folder;

    void SetUp() override
    {
        AppPaths::ensureFolder(AppPaths::stateFolder());
        folder = home.configHome() + QStringLiteral("/Vellicor");
    }

    QString settingsFile() const { return folder + QStringLiteral("/settings.json"); }

    static QByteArray contentsOf(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void writeSettingsFile(const QByteArray& bytes) const
    {
        QDir().mkpath(folder);
        QFile file(settingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QStringList filesInFolder() const
    {
        return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    }

    static QString logText() { return QString::fromUtf8(contentsOf(AppPaths::logFile())); }
};

// While it lives, every write of this process past 16 KiB fails, as on a
// full disk, even for root: a file-size limit.
struct FilesOfAtMost16KiB {
    rlimit before {};
    bool set = false;
    bool handled = false;
    void (*previousHandler)(int) = SIG_DFL;

    FilesOfAtMost16KiB()
    {
        if (getrlimit(RLIMIT_FSIZE, &before) != 0)
            return;
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        handled = true;
        rlimit small = before;
        small.rlim_cur = 16 * 1024;
        set = setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FilesOfAtMost16KiB()
    {
        if (set)
            setrlimit(RLIMIT_FSIZE, &before);
        if (handled)
            std::signal(SIGXFSZ, previousHandler);
    }
    bool isSet() const { return set; }
};

QVariantMap sampleRecord()
{
    return { { QStringLiteral("path"), QStringLiteral("/home/a b/Ünïcode \"quoted\"") }, { QStringLiteral("state"), 1 },
        { QStringLiteral("flags"), QVariantList { true, 2.5, QStringLiteral("x") } } };
}

} // namespace

TEST_F(UserDefaultsTest, StoredValuesSurviveANewStoreWithTheirTypes)
{
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(1700000000123, Qt::UTC);
    const quint64 hugeSize = std::numeric_limits<quint64>::max();
    // Every kind of character a name may hold: controls, quotes and
    // backslashes, two and three bytes of UTF-8, a pair of surrogates and a
    // lone one, in keys as in values.
    const QString odd = QStringLiteral("a\u0001\t\"\\/\u00e9\u20ac") + QString::fromUcs4(U"\U0001F600")
        + QChar(0xd800) + QStringLiteral("z\u007f");
    const QVariantList names { odd, QVariantMap { { odd, odd } } };
    {
        UserDefaults store(folder);
        EXPECT_TRUE(store.setValue(QStringLiteral("bool"), false));
        EXPECT_TRUE(store.setValue(QStringLiteral("integer"), qint64(-9007199254740993)));
        EXPECT_TRUE(store.setValue(QStringLiteral("unsigned"), QVariant::fromValue<quint64>(hugeSize)));
        EXPECT_TRUE(store.setValue(QStringLiteral("real"), 0.1));
        EXPECT_TRUE(store.setValue(QStringLiteral("text"), QStringLiteral("12")));
        EXPECT_TRUE(store.setValue(QStringLiteral("names"), names));
        EXPECT_TRUE(store.setValue(QStringLiteral("date"), when));
        EXPECT_TRUE(store.setValue(QStringLiteral("array"), QVariantList { sampleRecord(), QVariantList {} }));
        EXPECT_TRUE(store.setValue(QStringLiteral("dictionary"), sampleRecord()));
    }

    EXPECT_FALSE(contentsOf(settingsFile()).contains('\n')); // written compact
    UserDefaults reopened(folder);
    reopened.registerDefaults({ { QStringLiteral("bool"), true } });
    EXPECT_EQ(reopened.boolValue(QStringLiteral("bool")), false);
    EXPECT_EQ(reopened.integerValue(QStringLiteral("integer")), qint64(-9007199254740993));
    EXPECT_EQ(Setting::toUnsigned(reopened.object(QStringLiteral("unsigned"))), hugeSize);
    EXPECT_EQ(reopened.realValue(QStringLiteral("real")), 0.1);
    EXPECT_EQ(reopened.textValue(QStringLiteral("text")), QStringLiteral("12"));
    EXPECT_EQ(reopened.arrayValue(QStringLiteral("names")), names);
    EXPECT_EQ(reopened.dateValue(QStringLiteral("date")), when);
    const QVariantList array = reopened.arrayValue(QStringLiteral("array")).value_or(QVariantList());
    ASSERT_EQ(array.size(), 2);
    EXPECT_EQ(Setting::toDictionary(array[0]), Setting::normalized(sampleRecord())->toMap());
    EXPECT_EQ(reopened.dictionaryValue(QStringLiteral("dictionary")), Setting::normalized(sampleRecord())->toMap());
}

// What a store saves, the next start reads as it was set, so that setting it
// again there writes nothing: texts and keys of any character (a byte-order
// mark opening one among them), every edge of the numbers, zeros of both
// signs, dates of the first and last years, containers empty and nested.
TEST_F(UserDefaultsTest, EveryValueReadsBackAsItWasSetAndSettingItAgainWritesNothing)
{
    QString controls;
    for (char16_t u = 0; u < 0x20; ++u)
        controls += QChar(u);
    const QString bom(QChar(0xfeff));
    const QStringList texts { controls, bom, bom + QStringLiteral("tail"), QStringLiteral("a") + bom,
        QStringLiteral("\u2028\u2029\"\\/\u007f\u0080\u00ff\ufffe\uffff"), QString(QChar(0xdc00)) + QChar(0xd800),
        QString::fromUcs4(U"\U0010FFFF\U0001F600"), QString(QChar(0)) };
    const double reals[] = { -0.0, 0.0, std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::max(),
        1e308, std::numeric_limits<double>::min(), 0.1, 1.0, -1e-300 };
    QVariantMap values;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        values.insert(QStringLiteral("text%1").arg(i), texts[i]);
        values.insert(texts[i] + QStringLiteral("key"), qlonglong(i));
        values.insert(QStringLiteral("keyed%1").arg(i), QVariantMap { { texts[i], texts[i] } });
    }
    // Keys that read alike once a leading mark is lost.
    values.insert(bom + QStringLiteral("twin"), 1);
    values.insert(QStringLiteral("twin"), 2);
    for (std::size_t i = 0; i < std::size(reals); ++i)
        values.insert(QStringLiteral("real%1").arg(i), reals[i]);
    values.insert(QStringLiteral("reals"), QVariantList { -0.0, QVariantMap { { QStringLiteral("zero"), -0.0 } } });
    values.insert(QStringLiteral("integers"),
        QVariantList { std::numeric_limits<qlonglong>::min(), std::numeric_limits<qlonglong>::max(), qlonglong(-1),
            QVariant::fromValue(std::numeric_limits<qulonglong>::max()), true, false });
    values.insert(QStringLiteral("dates"),
        QVariantList { QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC),
            QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 999), Qt::UTC) });
    values.insert(QStringLiteral("empty"),
        QVariantList { QVariantList {}, QVariantMap {}, QString(), QVariantList { QVariantList { QVariantMap {} } } });
    {
        UserDefaults store(folder);
        for (auto it = values.constBegin(); it != values.constEnd(); ++it)
            ASSERT_TRUE(store.setValue(it.key(), it.value()));
    }
    const QByteArray saved = contentsOf(settingsFile());
    QJsonParseError error {};
    EXPECT_EQ(QJsonDocument::fromJson(saved, &error).object().size(), values.size()) << error.errorString().toStdString();

    UserDefaults restarted(folder);
    EXPECT_FALSE(restarted.readProblemAtStart());
    QSignalSpy changes(&restarted, &UserDefaults::valueChanged);
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        EXPECT_TRUE(Setting::writtenAlike(restarted.object(it.key()), *Setting::normalized(it.value())))
            << it.key().toStdString();
        EXPECT_TRUE(restarted.setValue(it.key(), it.value()));
    }
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(contentsOf(settingsFile()), saved);
}

TEST_F(UserDefaultsTest, TypedReadsPassOverValuesOfAnotherTypeToTheRegisteredDefault)
{
    UserDefaults store(folder);
    store.registerDefaults({ { "minimum", 1 }, { "history", QVariantList { 1 } }, { "flag", false } });
    EXPECT_EQ(store.integerValue("minimum"), 1);
    EXPECT_FALSE(QFileInfo::exists(folder)); // nothing written until a value is

    store.setValue("minimum", "2", UserDefaults::Saving::now);
    store.setValue("history", "not a list", UserDefaults::Saving::now);
    store.setValue("flag", 1, UserDefaults::Saving::now); // older records keep check marks as integers
    store.setValue("real", 2.0, UserDefaults::Saving::now);
    EXPECT_EQ(store.integerValue("minimum"), 1);
    EXPECT_EQ(store.arrayValue("history"), (QVariantList { qlonglong(1) }));
    EXPECT_EQ(store.boolValue("flag"), true);
    EXPECT_FALSE(store.integerValue("real")); // nothing registered
    EXPECT_EQ(store.realValue("real"), 2.0);
    EXPECT_EQ(UserDefaults(folder).object("minimum"), QVariant("2")); // kept as stored
}

TEST_F(UserDefaultsTest, DamagedFileIsMovedAsideAndTheDefaultsAnswer)
{
    const QByteArray damaged = "{\"minimumFileSize\": {\"integer\": \"4\"";
    writeSettingsFile(damaged);

    UserDefaults store(folder);
    store.registerDefaults({ { QStringLiteral("minimumFileSize"), 0 } });
    EXPECT_EQ(store.integerValue(QStringLiteral("minimumFileSize")), 0);

    const QStringList aside = QDir(folder).entryList({ QStringLiteral("settings.json.damaged-*") }, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(contentsOf(folder + QLatin1Char('/') + aside.first()), damaged);
    EXPECT_FALSE(QFileInfo::exists(settingsFile()));
    EXPECT_TRUE(logText().contains(aside.first())) << logText().toStdString();

    // The next write starts a good file and leaves the damaged copy alone.
    EXPECT_TRUE(store.setValue(QStringLiteral("minimumFileSize"), 7, UserDefaults::Saving::now));
    EXPECT_EQ(UserDefaults(folder).integerValue(QStringLiteral("minimumFileSize")), 7);
    EXPECT_EQ(contentsOf(folder + QLatin1Char('/') + aside.first()), damaged);
}

TEST_F(UserDefaultsTest, FileThatIsNoObjectOrNoFileIsSetAside)
{
    writeSettingsFile("[1, 2, 3]");
    UserDefaults fromArray(folder);
    EXPECT_FALSE(QFileInfo::exists(settingsFile()));

    QDir().mkpath(settingsFile());
    UserDefaults fromFolder(folder);
    EXPECT_TRUE(fromFolder.setValue(QStringLiteral("key"), 1, UserDefaults::Saving::now));
    EXPECT_TRUE(QFileInfo(settingsFile()).isFile());
    EXPECT_EQ(
        QDir(folder).entryList({ QStringLiteral("settings.json.damaged-*") }, QDir::Files | QDir::Dirs).size(), 2);
}

TEST_F(UserDefaultsTest, UnreadableEntryReadsAsMissingAndTheOriginalIsKept)
{
    const QByteArray original = R"({"good": {"integer": "3"}, "bad": {"integer": "three"}, "odd": 5})";
    writeSettingsFile(original);

    UserDefaults store(folder);
    EXPECT_EQ(store.integerValue(QStringLiteral("good")), 3);
    EXPECT_FALSE(store.object(QStringLiteral("bad")).isValid());
    EXPECT_FALSE(store.object(QStringLiteral("odd")).isValid());
    const QStringList aside = QDir(folder).entryList({ QStringLiteral("settings.json.damaged-*") }, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(contentsOf(folder + QLatin1Char('/') + aside.first()), original);
}

TEST_F(UserDefaultsTest, ALargeFileThatParsesIsReadAndKept)
{
    const QByteArray history(7 * 1024 * 1024, 'h');
    writeSettingsFile(R"({"history": {"text": ")" + history + R"("}})");
    UserDefaults store(folder);
    EXPECT_EQ(store.textValue("history")->size(), history.size());
    EXPECT_EQ(filesInFolder(), QStringList { "settings.json" });
}

TEST_F(UserDefaultsTest, AWriteKeepsWhatAnotherInstanceWroteSinceTheFileWasRead)
{
    UserDefaults first(folder);
    first.setValue("excludedFolders", QVariantList { "/a" }, UserDefaults::Saving::now);
    first.setValue("gone", 1, UserDefaults::Saving::now);
    first.setValue("history", QVariantList { 1 }, UserDefaults::Saving::now);

    UserDefaults second(folder);
    second.setValue("excludedFolders", QVariantList { "/a", "/b" }, UserDefaults::Saving::now);
    second.removeValue("gone", UserDefaults::Saving::now);
    second.setValue("added", true, UserDefaults::Saving::now);
    second.setValue("history", QVariantList { 9 }, UserDefaults::Saving::now);

    // first still holds what it read; only the key it changes is its own.
    first.setValue("history", QVariantList { 1, 2 }, UserDefaults::Saving::now);
    UserDefaults reopened(folder);
    EXPECT_EQ(reopened.arrayValue("excludedFolders"), (QVariantList { "/a", "/b" }));
    EXPECT_FALSE(reopened.object("gone").isValid());
    EXPECT_EQ(reopened.boolValue("added"), true);
    EXPECT_EQ(reopened.arrayValue("history"), (QVariantList { qlonglong(1), qlonglong(2) }));
    EXPECT_EQ(first.arrayValue("excludedFolders"), reopened.arrayValue("excludedFolders"));
}

TEST_F(UserDefaultsTest, SaveThatCannotCompleteLeavesThePreviousFileIntact)
{
    UserDefaults store(folder);
    ASSERT_TRUE(store.setValue(QStringLiteral("kept"), QStringLiteral("old"), UserDefaults::Saving::now));
    QSignalSpy failed(&store, &UserDefaults::saveFailed);
    const QByteArray before = contentsOf(settingsFile());

    bool saved1 = true;
    {
        const FilesOfAtMost16KiB limit;
        ASSERT_TRUE(limit.isSet());
        saved1
            = store.setValue(QStringLiteral("kept"), QString(64 * 1024, QLatin1Char('x')), UserDefaults::Saving::now);
    }

    EXPECT_FALSE(saved1);
    EXPECT_EQ(contentsOf(settingsFile()), before);
    // The system's own reason, not a folder that cannot be written.
    ASSERT_EQ(failed.count(), 1);
    EXPECT_EQ(failed.at(0).at(0).value<UserDefaults::SaveFault>(), UserDefaults::SaveFault::other);
    EXPECT_TRUE(failed.at(0).at(1).toString().endsWith(QString::fromLocal8Bit(std::strerror(EFBIG))))
        << failed.at(0).at(1).toString().toStdString();
    EXPECT_EQ(filesInFolder(), QStringList { QStringLiteral("settings.json") });
    EXPECT_TRUE(logText().contains(QStringLiteral("Settings not saved"))) << logText().toStdString();
    // The value holds for this run and reaches the file once saving works again.
    EXPECT_EQ(store.textValue(QStringLiteral("kept"))->size(), 64 * 1024);
    EXPECT_TRUE(store.synchronize());
    EXPECT_EQ(UserDefaults(folder).textValue(QStringLiteral("kept"))->size(), 64 * 1024);
}

TEST_F(UserDefaultsTest, FolderThatCannotBeMadeKeepsTheValueForTheRun)
{
    QFile blocker(home.configHome() + QStringLiteral("/blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    UserDefaults store(blocker.fileName() + QStringLiteral("/Vellicor"));
    EXPECT_FALSE(store.setValue(QStringLiteral("key"), 3, UserDefaults::Saving::now));
    EXPECT_EQ(store.integerValue(QStringLiteral("key")), 3);
    EXPECT_FALSE(store.synchronize());
    EXPECT_TRUE(QFileInfo(blocker.fileName()).isFile());
}

TEST_F(UserDefaultsTest, ValueOfATypeTheFileCannotHoldIsRefused)
{
    UserDefaults store(folder);
    EXPECT_FALSE(store.setValue(QStringLiteral("bytes"), QByteArray("raw")));
    EXPECT_FALSE(store.setValue(QStringLiteral("nan"), std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(store.setValue(QStringLiteral("nested"), QVariantList { QVariant::fromValue(QPoint(1, 2)) }));
    EXPECT_FALSE(store.object(QStringLiteral("bytes")).isValid());
    EXPECT_FALSE(store.object(QStringLiteral("nested")).isValid());
    EXPECT_FALSE(QFileInfo::exists(settingsFile()));
}

TEST_F(UserDefaultsTest, ChangesNotifyObserversButRegistrationDoesNot)
{
    UserDefaults store(folder);
    QStringList changes;
    QObject observer;
    QObject::connect(
        &store, &UserDefaults::valueChanged, &observer, [&changes](const QString& key) { changes.append(key); });
    store.registerDefaults({ { QStringLiteral("a"), 1 } });
    EXPECT_TRUE(changes.isEmpty());

    store.setValue(QStringLiteral("a"), 2);
    store.removeValue(QStringLiteral("a"));
    EXPECT_EQ(changes, (QStringList { QStringLiteral("a"), QStringLiteral("a") }));
    EXPECT_EQ(store.integerValue(QStringLiteral("a")), 1);
    EXPECT_FALSE(UserDefaults(folder).object(QStringLiteral("a")).isValid());
}

TEST_F(UserDefaultsTest, VolatileValueAnswersFirstForTheRunAndIsNeverSaved)
{
    UserDefaults store(folder);
    store.registerDefaults({ { QStringLiteral("content"), 1 }, { QStringLiteral("options"), QVariantList { 3 } } });
    store.setValue(QStringLiteral("options"), QVariantList { 3, 5 }, UserDefaults::Saving::now);
    const QByteArray savedBefore = contentsOf(settingsFile());

    EXPECT_TRUE(store.setVolatileValue(QStringLiteral("content"), 2));
    EXPECT_TRUE(store.setVolatileValue(QStringLiteral("options"), QVariantList { 1 }));
    EXPECT_EQ(store.integerValue(QStringLiteral("content")), 2);
    EXPECT_EQ(store.arrayValue(QStringLiteral("options")), (QVariantList { qlonglong(1) }));
    EXPECT_EQ(contentsOf(settingsFile()), savedBefore);

    // A stored write still reaches the file, and the next run sees it, while
    // this run keeps answering the volatile value.
    store.setValue(QStringLiteral("options"), QVariantList { 4 }, UserDefaults::Saving::now);
    store.setValue(QStringLiteral("other"), true, UserDefaults::Saving::now);
    EXPECT_EQ(store.arrayValue(QStringLiteral("options")), (QVariantList { qlonglong(1) }));
    UserDefaults reopened(folder);
    EXPECT_EQ(reopened.arrayValue(QStringLiteral("options")), (QVariantList { qlonglong(4) }));
    EXPECT_FALSE(reopened.object(QStringLiteral("content")).isValid());
}

TEST_F(UserDefaultsTest, WritesFromSeveralThreadsAllReachTheFile)
{
    UserDefaults store(folder);
    std::vector<QThread*> threads;
    for (int t = 0; t < 4; ++t) {
        threads.push_back(QThread::create([&store, t] {
            for (int i = 0; i < 25; ++i)
                store.setValue(QStringLiteral("t%1-%2").arg(t).arg(i), i, UserDefaults::Saving::now);
        }));
        threads.back()->start();
    }
    for (QThread* thread : threads) {
        thread->wait();
        delete thread;
    }

    UserDefaults reopened(folder);
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 25; ++i)
            EXPECT_EQ(reopened.integerValue(QStringLiteral("t%1-%2").arg(t).arg(i)), i);
    }
}

TEST_F(UserDefaultsTest, WhatWasLostReadingTheFileIsKeptForTheUserToBeTold)
{
    EXPECT_FALSE(UserDefaults(folder).readProblemAtStart());

    writeSettingsFile(R"({"protectedFolders": {"array": [)");
    UserDefaults damaged(folder);
    const auto problem = damaged.readProblemAtStart();
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->kind, SettingsReadProblem::Kind::setAside);
    EXPECT_EQ(problem->path, settingsFile());
    EXPECT_TRUE(QFileInfo(problem->keptAt).isFile());
    EXPECT_EQ(contentsOf(problem->keptAt), QByteArray(R"({"protectedFolders": {"array": [)"));
    EXPECT_FALSE(problem->reason.isEmpty());
    // Told once at start; a later save does not make it a new problem.
    ASSERT_TRUE(damaged.setValue(QStringLiteral("key"), 1, UserDefaults::Saving::now));
    EXPECT_TRUE(damaged.readProblemAtStart());
    EXPECT_FALSE(UserDefaults(folder).readProblemAtStart());

    writeSettingsFile(R"({"good": {"integer": "1"}, "protectedFolders": {"array": 5}})");
    const auto partly = UserDefaults(folder).readProblemAtStart();
    ASSERT_TRUE(partly);
    EXPECT_EQ(partly->kind, SettingsReadProblem::Kind::valuesReset);
    EXPECT_EQ(partly->keys, QStringList { QStringLiteral("protectedFolders") });
    EXPECT_TRUE(QFileInfo(partly->keptAt).isFile());
}

TEST_F(UserDefaultsTest, AFailedSaveIsReportedOncePerRunOfFailures)
{
    // The settings folder's parent replaced by a file: every save fails, even
    // for root, until it is a folder again.
    const QString parent = home.configHome() + QStringLiteral("/profile");
    const auto block = [&] {
        ASSERT_TRUE(QDir(parent).removeRecursively());
        QFile blocker(parent);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    };
    UserDefaults store(parent + QStringLiteral("/Vellicor"));
    QSignalSpy failed(&store, &UserDefaults::saveFailed);
    ASSERT_TRUE(store.setValue(QStringLiteral("key"), 1, UserDefaults::Saving::now));
    block();
    EXPECT_FALSE(store.setValue(QStringLiteral("key"), 2, UserDefaults::Saving::now));
    EXPECT_FALSE(store.setValue(QStringLiteral("other"), 3, UserDefaults::Saving::now));
    EXPECT_FALSE(store.synchronize());
    ASSERT_EQ(failed.count(), 1);
    EXPECT_EQ(failed.at(0).at(0).value<UserDefaults::SaveFault>(), UserDefaults::SaveFault::folderNotWritable);
    EXPECT_TRUE(failed.at(0).at(1).toString().contains(parent)) << failed.at(0).at(1).toString().toStdString();

    ASSERT_TRUE(QFile::remove(parent));
    EXPECT_TRUE(store.synchronize());
    EXPECT_EQ(failed.count(), 1);
    block();
    EXPECT_FALSE(store.setValue(QStringLiteral("key"), 4, UserDefaults::Saving::now));
    EXPECT_EQ(failed.count(), 2) << "a new failure after a save that worked is told again";
}

// Files too large to be settings, within the old bound of half a gigabyte and
// beyond it, sparse or an array far past what any user has: the start tells
// and goes on the defaults at once, reads none of them into memory, sets each
// aside whole beside the settings, and the next save works.
TEST_F(UserDefaultsTest, AFileTooLargeToBeSettingsIsSetAsideUnreadAndTheNextSaveWorks)
{
    const qint64 pastTheBound = UserDefaults::largestReadFile + 1;
    for (const qint64 sparse : { qint64(499) * 1000 * 1000, qint64(600) * 1000 * 1000, pastTheBound, qint64(0) }) {
        SCOPED_TRACE(sparse);
        QDir(folder).removeRecursively();
        if (sparse > 0) {
            writeSettingsFile({});
            QFile(settingsFile()).resize(sparse);
        } else {
            const qint64 count = UserDefaults::largestReadFile / 16 + 1;
            writeSettingsFile(R"({"history":{"array":[)" + QByteArray(R"({"integer":"1"},)").repeated(count)
                + R"({"integer":"1"}]}})");
        }
        const qint64 size = QFileInfo(settingsFile()).size();
        ASSERT_GT(size, UserDefaults::largestReadFile);
        const QByteArray head = contentsOf(settingsFile()).left(64);
        const bool peakKnown = resetPeakMemory();
        const qint64 before = statusBytes("VmRSS");
        const auto problem = runWithWatchdog([at = folder] {
            UserDefaults store(at);
            EXPECT_FALSE(store.object(QStringLiteral("history")).isValid());
            EXPECT_TRUE(store.setValue(QStringLiteral("key"), 1));
            return store.readProblemAtStart();
        });
        if (peakKnown) {
            EXPECT_LT(statusBytes("VmHWM") - before, scaledMemoryBound(qint64(64) * 1024 * 1024));
        }
        ASSERT_TRUE(problem && *problem);
        EXPECT_EQ((*problem)->kind, SettingsReadProblem::Kind::tooLarge);
        EXPECT_EQ((*problem)->reason, QString::number(size));
        const QStringList aside = QDir(folder).entryList({ QStringLiteral("settings.json.too-large-*") }, QDir::Files);
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ((*problem)->keptAt, folder + QLatin1Char('/') + aside.first());
        EXPECT_EQ(QFileInfo((*problem)->keptAt).size(), size);
        EXPECT_EQ(contentsOf((*problem)->keptAt).left(64), head);
        EXPECT_EQ(filesInFolder(), (QStringList { QStringLiteral("settings.json"), aside.first() }));
        EXPECT_EQ(UserDefaults(folder).integerValue(QStringLiteral("key")), 1);
    }
}

// One that cannot be moved aside stays as it is, unread, and nothing is saved
// over it.
TEST_F(UserDefaultsTest, AFileTooLargeToReadThatCannotBeMovedIsKeptAndNothingIsSaved)
{
    writeSettingsFile({});
    QFile(settingsFile()).resize(UserDefaults::largestReadFile + 1);
    if (!setTestFileImmutable(settingsFile(), true))
        GTEST_SKIP() << "this user or file system cannot make a file immutable";
    UserDefaults store(folder);
    const bool saved = store.setValue(QStringLiteral("key"), 1);
    setTestFileImmutable(settingsFile(), false);
    const auto problem = store.readProblemAtStart();
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->kind, SettingsReadProblem::Kind::tooLarge);
    EXPECT_TRUE(problem->keptAt.isEmpty());
    EXPECT_FALSE(saved);
    EXPECT_EQ(QFileInfo(settingsFile()).size(), UserDefaults::largestReadFile + 1);
}

// A pipe in the settings file's place never holds the start.
TEST_F(UserDefaultsTest, APipeInTheSettingsFilesPlaceNeverHoldsTheStart)
{
    QDir().mkpath(folder);
    makeTestFifo(settingsFile());
    const auto problem = runWithWatchdog([at = folder] { return UserDefaults(at).readProblemAtStart(); });
    ASSERT_TRUE(problem && *problem);
    EXPECT_EQ((*problem)->reason, QStringLiteral("it is not a regular file"));
}

// A settings folder that is a link, to a folder with settings in it: neither
// read nor written, and told.
TEST_F(UserDefaultsTest, ASettingsFolderThatIsALinkIsNeitherReadNorWritten)
{
    const QString elsewhere = home.path() + QStringLiteral("/elsewhere");
    const QByteArray planted = R"({"excludedFolders": {"array": []}})";
    QDir().mkpath(elsewhere);
    writeTestFile(elsewhere + QStringLiteral("/settings.json"), planted);
    ASSERT_TRUE(QFile::link(elsewhere, folder));
    FolderRefusals::instance().takeUntold();

    UserDefaults store(folder);
    EXPECT_FALSE(store.object(QStringLiteral("excludedFolders")).isValid());
    EXPECT_FALSE(store.setValue(QStringLiteral("excludedFolders"), QVariantList { QStringLiteral("/x") }));
    EXPECT_EQ(QDir(elsewhere).entryList(QDir::Files), QStringList { QStringLiteral("settings.json") });
    EXPECT_EQ(contentsOf(elsewhere + QStringLiteral("/settings.json")), planted);
    const std::vector<FolderRefusals::Refusal> told = FolderRefusals::instance().takeUntold();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].fault, PrivateFiles::FolderFault::link);
}

namespace {

// count records shaped as the scan history's, oldest first, numbered from
// first: about 130 bytes each in the file.
QVariantList historyRecords(int count, int first = 0)
{
    QVariantList records;
    records.reserve(count);
    const QDateTime start(QDate(2019, 1, 1), QTime(8, 0), QTimeZone::utc());
    for (int i = first; i < first + count; ++i) {
        records.append(QVariantMap { { QStringLiteral("dupCount"), qlonglong(i) },
            { QStringLiteral("dupSize"), qulonglong(3000000000ULL + quint64(i)) },
            { QStringLiteral("scantime"), start.addSecs(60LL * i) } });
    }
    return records;
}

qlonglong numberOf(const QVariant& record)
{
    return record.toMap().value(QStringLiteral("dupCount")).toLongLong();
}

} // namespace

// What the store writes it reads back: a history of 70,000 records (some
// 9 MB) is saved at the file's bound, its oldest records giving way, and
// every later save keeps it there while the newest records and every other
// value stay whole.
TEST_F(UserDefaultsTest, TheArrayThatGivesWayLosesItsOldestSoTheFileIsAlwaysReadBack)
{
    const QString history = QStringLiteral("history");
    UserDefaults store(folder);
    store.setOldestGiveWay(history);
    QSignalSpy failed(&store, &UserDefaults::saveFailed);
    ASSERT_TRUE(store.setValue(QStringLiteral("kept"), QStringLiteral("other values"), UserDefaults::Saving::now));
    ASSERT_TRUE(store.setValue(history, historyRecords(70000), UserDefaults::Saving::now));
    const qint64 size = QFileInfo(settingsFile()).size();
    EXPECT_LE(size, UserDefaults::largestFile);
    EXPECT_GT(size, UserDefaults::largestFile - 200) << "no more records go than make room";

    QVariantList kept;
    {
        UserDefaults restarted(folder);
        EXPECT_FALSE(restarted.readProblemAtStart());
        kept = restarted.arrayValue(history).value_or(QVariantList {});
        EXPECT_EQ(restarted.textValue(QStringLiteral("kept")), QStringLiteral("other values"));
    }
    ASSERT_GT(kept.size(), 60000);
    EXPECT_LT(kept.size(), 70000);
    EXPECT_EQ(numberOf(kept.last()), 69999);
    EXPECT_EQ(numberOf(kept.first()), 70000 - kept.size());
    EXPECT_EQ(store.arrayValue(history), kept) << "this run sees what the file holds";

    // A record more: the oldest one makes room for it.
    ASSERT_TRUE(store.updateValue(
        history,
        [](const QVariant& stored) {
            QVariantList records = stored.toList();
            records.append(historyRecords(1, 70000));
            return QVariant(records);
        },
        UserDefaults::Saving::now));
    // A list of a megabyte: older records make room, the list stays whole.
    QVariantList folders;
    for (int i = 0; i < 5000; ++i)
        folders.append(QStringLiteral("/home/user/Pictures/Camera uploads/%1/").arg(i) + QString(150, QLatin1Char('f')));
    ASSERT_TRUE(store.setValue(QStringLiteral("list"), folders, UserDefaults::Saving::now));
    EXPECT_EQ(failed.count(), 0);
    EXPECT_LE(QFileInfo(settingsFile()).size(), UserDefaults::largestFile);

    UserDefaults restarted(folder);
    EXPECT_FALSE(restarted.readProblemAtStart());
    EXPECT_EQ(restarted.arrayValue(QStringLiteral("list")), folders);
    const QVariantList now = restarted.arrayValue(history).value_or(QVariantList {});
    ASSERT_GT(now.size(), 50000);
    EXPECT_LT(now.size(), kept.size());
    EXPECT_EQ(numberOf(now.last()), 70000);
    EXPECT_EQ(numberOf(now.first()), 70001 - now.size());
}

// Settings that cannot fit even with the array that gives way emptied, or
// without one: nothing is written, the file keeps what it held (and is read
// back), the values stay for the run, and the failure says it is the size.
TEST_F(UserDefaultsTest, ASaveThatWouldPassTheBoundIsRefusedAndSaysSo)
{
    for (const bool givesWay : { false, true }) {
        SCOPED_TRACE(givesWay);
        QDir(folder).removeRecursively();
        UserDefaults store(folder);
        if (givesWay)
            store.setOldestGiveWay(QStringLiteral("history"));
        ASSERT_TRUE(store.setValue(QStringLiteral("history"), historyRecords(100), UserDefaults::Saving::now));
        const QByteArray before = contentsOf(settingsFile());
        QSignalSpy failed(&store, &UserDefaults::saveFailed);
        const QString large(int(UserDefaults::largestFile), QLatin1Char('x'));
        EXPECT_FALSE(store.setValue(QStringLiteral("large"), large, UserDefaults::Saving::now));
        ASSERT_EQ(failed.count(), 1);
        EXPECT_EQ(failed.at(0).at(0).value<UserDefaults::SaveFault>(), UserDefaults::SaveFault::tooLarge);
        EXPECT_GT(failed.at(0).at(1).toString().toLongLong(), UserDefaults::largestFile);
        EXPECT_EQ(contentsOf(settingsFile()), before);
        EXPECT_EQ(filesInFolder(), QStringList { QStringLiteral("settings.json") });
        EXPECT_EQ(store.arrayValue(QStringLiteral("history"))->size(), 100) << "nothing gave way for nothing";
        EXPECT_EQ(store.textValue(QStringLiteral("large"))->size(), large.size());
        UserDefaults restarted(folder);
        EXPECT_FALSE(restarted.readProblemAtStart());
        EXPECT_EQ(restarted.arrayValue(QStringLiteral("history"))->size(), 100);
    }
}

// A save writes again only the values that changed, yet the file reads byte
// for byte as a store that encodes everything anew writes it: keys of every
// length and alphabet in their order, a list changed in place, one grown
// whose first numbers change their type, records added to the array that
// gives way and deleted from it.
TEST_F(UserDefaultsTest, AFileSavedAfterManyChangesReadsAsOneWrittenAnew)
{
    const QString history = QStringLiteral("history");
    UserDefaults store(folder);
    store.setOldestGiveWay(history);
    ASSERT_TRUE(store.setValue(history, historyRecords(66000)));
    ASSERT_TRUE(store.setValue(QStringLiteral("zz"), QVariantList { qlonglong(1), qlonglong(2) }));
    ASSERT_TRUE(store.setValue(QStringLiteral("\u00e4pfel"), QVariantList { QStringLiteral("a") }));
    ASSERT_TRUE(store.setValue(QStringLiteral("b"), true));
    ASSERT_TRUE(store.setValue(QStringLiteral("zz"), QVariantList { 1.0, 2.0, 3.5 }));
    ASSERT_TRUE(store.updateValue(QStringLiteral("\u00e4pfel"), [](const QVariant& stored) {
        QVariantList items = stored.toList();
        items[0] = QStringLiteral("b");
        return QVariant(items);
    }));
    ASSERT_TRUE(store.updateValue(history, [](const QVariant& stored) {
        QVariantList records = stored.toList();
        records.append(historyRecords(1, 66000));
        return QVariant(records);
    }));
    // Records deleted from the middle, two in one change, then the newest.
    ASSERT_TRUE(store.updateValue(history, [](const QVariant& stored) {
        QVariantList records = stored.toList();
        records.removeAt(40000);
        records.removeAt(5);
        return QVariant(records);
    }));
    ASSERT_TRUE(store.updateValue(history, [](const QVariant& stored) {
        QVariantList records = stored.toList();
        records.removeLast();
        return QVariant(records);
    }, UserDefaults::Saving::behind));
    ASSERT_TRUE(store.setValue(QStringLiteral("aa"), 7));
    ASSERT_TRUE(store.removeValue(QStringLiteral("b")));
    ASSERT_TRUE(store.synchronize());
    const QByteArray saved = contentsOf(settingsFile());
    EXPECT_LE(saved.size(), UserDefaults::largestFile);

    UserDefaults fresh(folder);
    EXPECT_FALSE(fresh.readProblemAtStart());
    EXPECT_EQ(fresh.arrayValue(QStringLiteral("zz"))->at(0).typeId(), QMetaType::Double);
    EXPECT_EQ(fresh.arrayValue(QStringLiteral("\u00e4pfel")), QVariantList { QStringLiteral("b") });
    EXPECT_EQ(numberOf(fresh.arrayValue(history)->last()), 65999);
    // Written again whole, by a store that kept no bytes from before.
    ASSERT_TRUE(fresh.setValue(QStringLiteral("aa"), 8));
    ASSERT_TRUE(fresh.setValue(QStringLiteral("aa"), 7));
    EXPECT_EQ(contentsOf(settingsFile()), saved);
}

namespace {

// The values of a user whose scan history grew to about fileBytes, as an
// earlier version kept them: folder lists and options beside a history
// without bound.
QVariantMap valuesOfALongUse(qint64 fileBytes)
{
    QVariantList protectedFolders;
    for (const char* path : { "/home/user/Pictures/Originals", "/home/user/Documents/Tax", "/media/archive" }) {
        protectedFolders.append(QVariantMap { { QStringLiteral("path"), QString::fromUtf8(path) },
            { QStringLiteral("state"), qlonglong(1) }, { QStringLiteral("includeSubFolders"), qlonglong(1) } });
    }
    QVariantMap values { { QStringLiteral("protectedFolders"), protectedFolders },
        { QStringLiteral("search_options"), QVariantList { qlonglong(3), qlonglong(5) } },
        { QStringLiteral("minimumFileSize"), qlonglong(4) } };
    const qint64 perThousand = SettingsFileBytes().bytes({ { QStringLiteral("h"), historyRecords(1000, 90000) } }).size();
    values.insert(QStringLiteral("lastScanStatus"), historyRecords(int(fileBytes * 1000 / perThousand)));
    return values;
}

} // namespace

// A file an earlier version wrote with its history past the bound the store
// writes is read whole, every value with it; the next save writes it back
// within the bound, its oldest records giving way.
TEST_F(UserDefaultsTest, AFileAnEarlierVersionWrotePastTheWriteBoundIsReadWholeAndSavedBackWithinIt)
{
    const QString history = QStringLiteral("lastScanStatus");
    for (const qint64 size : { qint64(9) << 20, qint64(12) << 20 }) {
        SCOPED_TRACE(size);
        QDir(folder).removeRecursively();
        const QVariantMap values = valuesOfALongUse(size);
        const qsizetype records = values.value(history).toList().size();
        // One document of every value, as that version wrote it at every
        // change.
        writeSettingsFile(SettingsFileBytes().bytes(values));
        ASSERT_GT(QFileInfo(settingsFile()).size(), size - 200000);
        ASSERT_LT(QFileInfo(settingsFile()).size(), size + 200000);

        UserDefaults store(folder);
        store.setOldestGiveWay(history);
        EXPECT_FALSE(store.readProblemAtStart());
        EXPECT_EQ(store.arrayValue(QStringLiteral("protectedFolders")), values.value(QStringLiteral("protectedFolders")));
        EXPECT_EQ(store.arrayValue(QStringLiteral("search_options")), values.value(QStringLiteral("search_options")));
        EXPECT_EQ(store.arrayValue(history)->size(), records);

        // The next save, as every start makes one.
        ASSERT_TRUE(store.setValue(QStringLiteral("isFirstLaunchDone"), true, UserDefaults::Saving::now));
        const qint64 saved = QFileInfo(settingsFile()).size();
        EXPECT_LE(saved, UserDefaults::largestFile);
        EXPECT_GT(saved, UserDefaults::largestFile - 200);
        EXPECT_EQ(filesInFolder(), QStringList { QStringLiteral("settings.json") });

        UserDefaults restarted(folder);
        EXPECT_FALSE(restarted.readProblemAtStart());
        EXPECT_EQ(restarted.arrayValue(QStringLiteral("protectedFolders")),
            values.value(QStringLiteral("protectedFolders")));
        EXPECT_EQ(restarted.integerValue(QStringLiteral("minimumFileSize")), 4);
        const QVariantList kept = restarted.arrayValue(history).value_or(QVariantList {});
        ASSERT_GT(kept.size(), 60000);
        EXPECT_LT(kept.size(), records);
        EXPECT_EQ(numberOf(kept.last()), records - 1);
        EXPECT_EQ(numberOf(kept.first()), records - kept.size());
    }
}

// Such a file with a value that cannot be read: the start keeps a copy and
// saves what it could read behind, within the bound once the program has
// named the array that gives way (it does so right after making the store,
// after some work of its start), and tells no failure of that save.
TEST_F(UserDefaultsTest, AFileWrittenPastTheWriteBoundWithAnUnreadableValueIsSavedBackWithinItUntold)
{
    const QString history = QStringLiteral("lastScanStatus");
    QByteArray bytes = SettingsFileBytes().bytes(valuesOfALongUse(3 * UserDefaults::largestFile / 2));
    bytes.chop(1);
    writeSettingsFile(bytes + ",\"broken\":{\"integer\":\"x\"}}");
    UserDefaults store(folder);
    QSignalSpy failed(&store, &UserDefaults::saveFailed);
    // The start's work before it registers the defaults.
    QThread::msleep(50);
    store.setOldestGiveWay(history);
    ASSERT_TRUE(store.synchronize());
    EXPECT_EQ(failed.count(), 0) << failed.value(0).value(1).toString().toStdString();
    ASSERT_TRUE(store.readProblemAtStart());
    EXPECT_EQ(store.readProblemAtStart()->keys, QStringList { QStringLiteral("broken") });

    UserDefaults restarted(folder);
    EXPECT_FALSE(restarted.readProblemAtStart());
    EXPECT_LE(QFileInfo(settingsFile()).size(), UserDefaults::largestFile);
    EXPECT_GT(restarted.arrayValue(history).value_or(QVariantList()).size(), 60000);
    EXPECT_EQ(restarted.integerValue(QStringLiteral("minimumFileSize")), 4);
}

namespace {

// The temporary files of saves in the settings folder.
QStringList savesIn(const QString& folder)
{
    QStringList names = QDir(folder).entryList({ QStringLiteral("settings.json.saving-*") },
        QDir::Files | QDir::Dirs | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

} // namespace

// A run killed in the middle of a save leaves a temporary file of several
// megabytes; the next start removes them, and nothing else of the user's that
// looks like them.
TEST_F(UserDefaultsTest, TemporaryFilesOfSavesCutShortAreRemovedAtTheNextStartAndNothingElse)
{
    {
        UserDefaults first(folder);
        ASSERT_TRUE(first.setValue(QStringLiteral("lastScanStatus"), historyRecords(55000)));
    }
    // A real run, killed as soon as a save of its is under way, until one
    // was cut short (a kill may come just after the save's rename).
    int kills = 0;
    while (savesIn(folder).isEmpty() && kills < 50) {
        std::fflush(nullptr);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            UserDefaults store(folder);
            for (qlonglong i = 0;; ++i)
                store.setValue(QStringLiteral("count"), i);
        }
        QDeadlineTimer limit(20000);
        while (savesIn(folder).isEmpty() && !limit.hasExpired())
            QThread::usleep(100);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ++kills;
    }
    const QStringList cutShort = savesIn(folder);
    ASSERT_EQ(cutShort.size(), 1) << "no kill of " << kills << " came in the middle of a save";

    // What the user keeps there under such names: a link to a file of
    // theirs, a folder, a second name of a file, a pipe, names the saves
    // never give, and (where there is one) a file of another user.
    const QString notes = home.path() + QStringLiteral("/notes.txt");
    writeTestFile(notes, "notes");
    const auto at = [this](const char* name) { return folder + QLatin1Char('/') + QLatin1String(name); };
    ASSERT_TRUE(QFile::link(notes, at("settings.json.saving-link1")));
    ASSERT_TRUE(QDir().mkpath(at("settings.json.saving-folder1")));
    ASSERT_EQ(::link(QFile::encodeName(notes).constData(), QFile::encodeName(at("settings.json.saving-second")).constData()), 0);
    makeTestFifo(at("settings.json.saving-pipe"));
    QStringList planted { QStringLiteral("settings.json.saving-link1"), QStringLiteral("settings.json.saving-folder1"),
        QStringLiteral("settings.json.saving-second"), QStringLiteral("settings.json.saving-pipe") };
    for (const char* name : { "settings.json.saving-Upper", "settings.json.saving-abc.txt",
             "settings.json.saving-0123456789a", "settings.json.saving-", "other.json.saving-abc" }) {
        writeTestFile(at(name), "the user's");
        planted << QLatin1String(name);
    }
    if (::geteuid() == 0) {
        writeTestFile(at("settings.json.saving-theirs"), "theirs");
        ASSERT_EQ(::chown(QFile::encodeName(at("settings.json.saving-theirs")).constData(), 65534, 65534), 0);
        planted << QStringLiteral("settings.json.saving-theirs");
    }
    planted.sort();

    // While another writer holds the lock, what may be its save stays.
    {
        QLockFile writer(settingsFile() + QStringLiteral(".lock"));
        ASSERT_TRUE(writer.tryLock(0));
        UserDefaults during(folder);
        for (const QString& name : cutShort)
            EXPECT_TRUE(QFileInfo::exists(folder + QLatin1Char('/') + name)) << name.toStdString();
    }

    UserDefaults next(folder);
    EXPECT_FALSE(next.readProblemAtStart());
    EXPECT_EQ(next.arrayValue(QStringLiteral("lastScanStatus"))->size(), 55000);
    QStringList left = savesIn(folder) + QDir(folder).entryList({ QStringLiteral("other.json.*") }, QDir::Files);
    left.sort();
    EXPECT_EQ(left.join(QLatin1Char(' ')), planted.join(QLatin1Char(' ')));
    EXPECT_EQ(contentsOf(notes), QByteArray("notes"));
    EXPECT_EQ(contentsOf(at("settings.json.saving-abc.txt")), QByteArray("the user's"));
    ASSERT_TRUE(next.setValue(QStringLiteral("count"), -1));
    EXPECT_EQ(savesIn(folder).join(QLatin1Char(' ')),
        planted.filter(QStringLiteral("settings.json.saving-")).join(QLatin1Char(' ')));
}

namespace {

// A folder list of count records, each path ending in tag: some 100 bytes a
// record in the file.
QVariantList folderRecords(int count, const QString& tag)
{
    QVariantList records;
    records.reserve(count);
    for (int i = 0; i < count; ++i) {
        records.append(QVariantMap { { QStringLiteral("path"), QStringLiteral("/home/user/Folder %1/%2").arg(i).arg(tag) },
            { QStringLiteral("state"), qlonglong(1) }, { QStringLiteral("includeSubFolders"), qlonglong(1) } });
    }
    return records;
}

// The list key holds in the file's bytes; none when they do not parse.
std::optional<QVariantList> listInFile(const QByteArray& bytes, const QString& key)
{
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const std::optional<QVariant> value = SettingsFileBytes::decode(document.object().value(key));
    return value ? Setting::toArray(*value) : std::nullopt;
}

} // namespace

// Lists of 10,000 records changed faster than they are written behind: each
// change reads back at once, a reader of the file finds a whole file at every
// moment, another store's change made meanwhile is kept, and once the saves
// are done the file holds the last list.
TEST_F(UserDefaultsTest, ListsSavedBehindReadAtOnceAndTheFileIsAlwaysWholeWithTheLastListInTheEnd)
{
    const QString key = QStringLiteral("excludedFolders");
    UserDefaults store(folder);
    ASSERT_TRUE(store.setValue(key, folderRecords(10000, QStringLiteral("first")), UserDefaults::Saving::now));

    std::atomic<bool> done { false };
    std::atomic<int> reads { 0 };
    std::atomic<int> broken { 0 };
    QThread* reader = QThread::create([&] {
        while (!done) {
            const std::optional<QVariantList> list = listInFile(contentsOf(settingsFile()), key);
            if (!list || list->size() != 10000)
                ++broken;
            ++reads;
        }
    });
    reader->start();
    constexpr int changes = 12;
    for (int n = 0; n < changes; ++n) {
        const QVariantList next = folderRecords(10000, QStringLiteral("change %1").arg(n));
        ASSERT_TRUE(store.updateValue(key, [&](const QVariant&) { return QVariant(next); }, UserDefaults::Saving::behind));
        EXPECT_EQ(store.arrayValue(key), next);
    }
    {
        // Another store starts once the save it meets is done, and its own
        // change waits for the writers' lock.
        UserDefaults other(folder);
        ASSERT_TRUE(other.setValue(QStringLiteral("other"), true, UserDefaults::Saving::now));
    }
    ASSERT_TRUE(store.updateValue(
        key, [](const QVariant&) { return QVariant(folderRecords(10000, QStringLiteral("last"))); },
        UserDefaults::Saving::behind));
    EXPECT_TRUE(store.synchronize());
    done = true;
    reader->wait();
    delete reader;

    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(broken.load(), 0) << "of " << reads.load() << " reads";
    EXPECT_EQ(listInFile(contentsOf(settingsFile()), key), folderRecords(10000, QStringLiteral("last")));
    EXPECT_EQ(filesInFolder(), QStringList { QStringLiteral("settings.json") });
    UserDefaults reopened(folder);
    EXPECT_EQ(reopened.boolValue(QStringLiteral("other")), true);
    EXPECT_EQ(reopened.arrayValue(key), folderRecords(10000, QStringLiteral("last")));
}

// A change saved behind that changes nothing (a record deleted that is gone
// already) while an earlier one is still being written leaves the writers'
// lock to that save: no other program comes between its reading the file and
// its replacing it.
TEST_F(UserDefaultsTest, AChangeThatChangesNothingLeavesTheWritersLockToASaveStillWriting)
{
    const QString key = QStringLiteral("savedPaths");
    UserDefaults store(folder);
    ASSERT_TRUE(store.setValue(QStringLiteral("count"), 1));
    const auto inode = [&] {
        struct stat status {};
        return ::stat(QFile::encodeName(settingsFile()).constData(), &status) == 0 ? status.st_ino : 0;
    };
    int seenWriting = 0;
    for (int attempt = 0; attempt < 20 && seenWriting < 3; ++attempt) {
        const ino_t before = inode();
        // A list most of the file's bound long, encoded anew: the save takes a while.
        ASSERT_TRUE(store.updateValue(
            key, [attempt](const QVariant&) { return QVariant(folderRecords(60000, QString::number(attempt))); },
            UserDefaults::Saving::behind));
        QThread::msleep(5);
        store.updateValue(key, [](const QVariant& stored) { return stored; }, UserDefaults::Saving::behind);
        QLockFile other(settingsFile() + QStringLiteral(".lock"));
        const bool taken = other.tryLock(0);
        // Only a save that had not replaced the file after the look tells.
        if (inode() == before) {
            ++seenWriting;
            EXPECT_FALSE(taken) << "attempt " << attempt;
        }
        if (taken)
            other.unlock();
        ASSERT_TRUE(store.synchronize());
    }
    EXPECT_GT(seenWriting, 0) << "no save was seen while it wrote";
}

// A list saved behind is in the file when synchronize returns, and when the
// store ends; a save behind that fails is told once, its list stays for the
// run, and synchronize saves it once saving works again.
TEST_F(UserDefaultsTest, ASaveBehindIsWaitedForAndAFailedOneIsToldAndMadeAgain)
{
    const QString key = QStringLiteral("savedPaths");
    const QVariantList large = folderRecords(30000, QStringLiteral("ended"));
    {
        UserDefaults store(folder);
        ASSERT_TRUE(store.updateValue(key, [&](const QVariant&) { return QVariant(large); }, UserDefaults::Saving::behind));
    }
    EXPECT_EQ(listInFile(contentsOf(settingsFile()), key), large) << "the store's end waited for its save";

    UserDefaults store(folder);
    const QVariantList waited = folderRecords(30000, QStringLiteral("waited"));
    ASSERT_TRUE(store.updateValue(key, [&](const QVariant&) { return QVariant(waited); }, UserDefaults::Saving::behind));
    ASSERT_TRUE(store.synchronize());
    EXPECT_EQ(listInFile(contentsOf(settingsFile()), key), waited);

    QSignalSpy failed(&store, &UserDefaults::saveFailed);
    const QByteArray before = contentsOf(settingsFile());
    const QVariantList refused = folderRecords(30000, QStringLiteral("refused"));
    bool taken = false;
    bool synchronizedWhileFull = true;
    {
        const FilesOfAtMost16KiB limit;
        ASSERT_TRUE(limit.isSet());
        taken = store.updateValue(key, [&](const QVariant&) { return QVariant(refused); }, UserDefaults::Saving::behind);
        synchronizedWhileFull = store.synchronize();
    }

    EXPECT_TRUE(taken);
    EXPECT_FALSE(synchronizedWhileFull);
    ASSERT_EQ(failed.count(), 1);
    EXPECT_EQ(failed.at(0).at(0).value<UserDefaults::SaveFault>(), UserDefaults::SaveFault::other);
    EXPECT_EQ(contentsOf(settingsFile()), before);
    EXPECT_EQ(store.arrayValue(key), refused);
    EXPECT_TRUE(store.synchronize());
    EXPECT_EQ(listInFile(contentsOf(settingsFile()), key), refused);
    EXPECT_EQ(filesInFolder(), QStringList { QStringLiteral("settings.json") });
}

// A value set as it is stored changes nothing: the file is not written again,
// however large the value, and no observer hears of it; a value that differs
// only in its type is a change.
TEST_F(UserDefaultsTest, AValueSetAsItIsStoredWritesNothing)
{
    const QString key = QStringLiteral("savedPaths");
    UserDefaults store(folder);
    ASSERT_TRUE(store.setValue(key, folderRecords(30000, QStringLiteral("kept")), UserDefaults::Saving::now));
    ASSERT_TRUE(store.setValue(QStringLiteral("count"), 1, UserDefaults::Saving::now));
    const auto inode = [&] {
        struct stat status {};
        return ::stat(QFile::encodeName(settingsFile()).constData(), &status) == 0 ? status.st_ino : 0;
    };
    const ino_t written = inode();
    QSignalSpy changes(&store, &UserDefaults::valueChanged);

    EXPECT_TRUE(store.setValue(key, folderRecords(30000, QStringLiteral("kept")), UserDefaults::Saving::now));
    EXPECT_TRUE(store.setValue(QStringLiteral("count"), 1, UserDefaults::Saving::now));
    EXPECT_TRUE(store.updateValue(
        key, [](const QVariant& stored) { return stored; }, UserDefaults::Saving::now));
    EXPECT_TRUE(store.updateValue(key, [](const QVariant& stored) { return stored; }, UserDefaults::Saving::behind));
    EXPECT_TRUE(store.removeValue(QStringLiteral("never stored"), UserDefaults::Saving::now));
    EXPECT_TRUE(store.synchronize());
    EXPECT_EQ(inode(), written);
    EXPECT_EQ(changes.count(), 0);

    EXPECT_TRUE(store.setValue(QStringLiteral("count"), true, UserDefaults::Saving::now));
    EXPECT_NE(inode(), written);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(UserDefaults(folder).object(QStringLiteral("count")), QVariant(true));
}

TEST_F(UserDefaultsTest, AChangeIsMadeAndWrittenOffTheCallersThreadReadAtOnceAndInTheFileWhenTheStoreEnds)
{
    std::mutex guard;
    std::vector<QThread*> writers;
    const auto watch = [&](UserDefaults& store) {
        QObject::connect(
            &store, &UserDefaults::fileWritten, &store,
            [&] {
                std::lock_guard lock(guard);
                writers.push_back(QThread::currentThread());
            },
            Qt::DirectConnection);
    };
    {
        UserDefaults store(folder);
        watch(store);
        EXPECT_TRUE(store.setValue(QStringLiteral("kept"), QStringLiteral("one")));
        EXPECT_TRUE(store.setValue(QStringLiteral("gone"), true));
        EXPECT_TRUE(store.setValue(QStringLiteral("kept"), QStringLiteral("two")));
        EXPECT_TRUE(store.removeValue(QStringLiteral("gone")));
        EXPECT_EQ(store.textValue(QStringLiteral("kept")), QStringLiteral("two"));
        EXPECT_EQ(store.object(QStringLiteral("gone")), QVariant());
    }
    UserDefaults next(folder);
    EXPECT_EQ(next.textValue(QStringLiteral("kept")), QStringLiteral("two"));
    EXPECT_EQ(next.object(QStringLiteral("gone")), QVariant());
    std::lock_guard lock(guard);
    ASSERT_FALSE(writers.empty());
    for (QThread* writer : writers)
        EXPECT_NE(writer, QThread::currentThread()) << "a save was made on the thread that changed the value";
}
