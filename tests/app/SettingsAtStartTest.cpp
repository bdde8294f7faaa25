// What a start does to the settings file: a start that changes nothing writes
// nothing, however long the history it holds; a file with values that cannot
// be read is set aside once, told in a few words, and saved sound.
#include "app/AppComposition.h"
#include "base/SettingsFileBytes.h"
#include "base/UserDefaults.h"
#include "core/AppStartup.h"
#include "core/SettingsSchema.h"
#include "support/LongScanHistory.h"
#include "support/RecordingAlerts.h"
#include "support/StartedProgram.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>

namespace {

// Counts the files that take the settings file's name in folder: every save
// is a new file renamed over it.
class SettingsFileReplacements {
public:
    explicit SettingsFileReplacements(const QString& folder)
        : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (fd_ >= 0)
            inotify_add_watch(fd_, QFile::encodeName(folder).constData(), IN_MOVED_TO | IN_CLOSE_WRITE);
    }
    ~SettingsFileReplacements()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    SettingsFileReplacements(const SettingsFileReplacements&) = delete;
    SettingsFileReplacements& operator=(const SettingsFileReplacements&) = delete;
    bool isWatching() const { return fd_ >= 0; }

    // The replacements seen since the last call.
    int take()
    {
        int count = 0;
        alignas(inotify_event) char buffer[4096];
        ssize_t length = 0;
        while ((length = ::read(fd_, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 && (event->mask & IN_MOVED_TO)
                    && std::strcmp(event->name, UserDefaults::fileName) == 0)
                    ++count;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        return count;
    }

private:
    int fd_ = -1;
};

} // namespace

TEST(SettingsAtStart, AStartThatChangesNothingWritesNothingWhateverTheHistoryHolds)
{
    TempHome home;
    const QString settings = home.configHome() + QStringLiteral("/Vellicor");
    auto alerts = std::make_shared<RecordingAlerts>();
    {
        // The first start stores what it has not stored before.
        StartedProgram first(settings, alerts);
        first.defaults.setValue(QLatin1String(SettingsKey::lastScanStatus), numberedScanHistory(60000));
    }
    SettingsFileReplacements replacements(settings);
    ASSERT_TRUE(replacements.isWatching());
    for (int start = 0; start < 2; ++start) {
        StartedProgram again(settings, alerts);
        QCoreApplication::processEvents();
        again.defaults.synchronize();
        EXPECT_EQ(replacements.take(), 0) << "start " << start;
    }
    EXPECT_TRUE(alerts->shown.empty()) << alerts->messages().join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(UserDefaults(settings).arrayValue(QLatin1String(SettingsKey::lastScanStatus))->size(), 60000);

    // A change is still saved, once.
    StartedProgram changed(settings, alerts);
    changed.defaults.setValue(QLatin1String(SettingsKey::doNotShowAutoMarkDialog), true);
    changed.defaults.setValue(QLatin1String(SettingsKey::doNotShowAutoMarkDialog), true);
    changed.defaults.synchronize();
    EXPECT_EQ(replacements.take(), 1);
}

// A file of a hundred thousand settings of which none can be read (what a
// damaged or hostile file holds): the start names a few and counts the rest,
// keeps the original once, and the next starts read a sound file.
TEST(SettingsAtStart, AFileWithUnreadableValuesIsToldInAFewNamesAndSetAsideOnce)
{
    TempHome home;
    const QString settings = home.configHome() + QStringLiteral("/Vellicor");
    const QString file = settings + QStringLiteral("/settings.json");
    constexpr int unreadable = 100000;
    QByteArray bytes = SettingsFileBytes().bytes({ { QLatin1String(SettingsKey::doNotShowAutoMarkDialog), true } });
    bytes.chop(1);
    for (int i = 0; i < unreadable; ++i)
        bytes += QByteArrayLiteral(",\"key") + QByteArray::number(i) + QByteArrayLiteral("\":{\"integer\":\"x\"}");
    // A name as long as a text may be is told short.
    bytes += ",\"" + QByteArray(100000, 'a') + "\":7}";
    ASSERT_TRUE(QDir().mkpath(settings));
    writeTestFile(file, bytes);

    auto alerts = std::make_shared<RecordingAlerts>();
    for (int start = 0; start < 3; ++start) {
        const StartedProgram started(settings, alerts);
        EXPECT_EQ(started.defaults.boolValue(QLatin1String(SettingsKey::doNotShowAutoMarkDialog)), true);
    }
    ASSERT_EQ(alerts->messages(), QStringList { QStringLiteral("Your settings could not be read.") });
    const QString told = alerts->shown[0].informativeText;
    const QStringList aside = QDir(settings).entryList({ QStringLiteral("settings.json.damaged-*") }, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    const QString start = QStringLiteral("Some settings could not be read and were reset to their defaults: ");
    const QString end = QStringLiteral(", key0, key1, key10, key100 and %1 more. The original file was kept as %2.")
                            .arg(QLocale().toString(unreadable + 1 - 5), settings + QLatin1Char('/') + aside.first());
    EXPECT_TRUE(told.startsWith(start + QStringLiteral("aaaa"))) << told.left(200).toStdString();
    EXPECT_TRUE(told.endsWith(end)) << told.right(300).toStdString();
    EXPECT_LT(told.size(), start.size() + end.size() + 100);
    QFile kept(settings + QLatin1Char('/') + aside.first());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), bytes);
    EXPECT_LT(QFileInfo(file).size(), 4096);
}
