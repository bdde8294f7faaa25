#include "base/UserDefaults.h"
#include "core/SettingsSchema.h"
#include "support/TempHome.h"
#include "support/TreeBuilder.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Runs the built vellicor-scan in a temporary HOME whose XDG folders the child
// inherits, over a tree of files.
class ScanDriverRun : public ::testing::Test {
protected:
    TempHome home;
    TreeBuilder tree;

    struct Outcome {
        int exitCode = -1;
        QByteArray out;
        QString err;
    };

    Outcome run(const QStringList& arguments, const QProcessEnvironment& extra = {})
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(extra);
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(VELLICOR_SCAN_BINARY), arguments);
        // A guard against a hang, never a timing check.
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "vellicor-scan did not finish";
        }
        Outcome outcome;
        if (process.exitStatus() == QProcess::NormalExit)
            outcome.exitCode = process.exitCode();
        outcome.out = process.readAllStandardOutput();
        outcome.err = QString::fromLocal8Bit(process.readAllStandardError());
        return outcome;
    }

    QString settingsFolder() const { return home.configHome() + QStringLiteral("/Vellicor"); }

    // The expected standard output: each group's paths, relative to the tree,
    // then an empty line.
    QByteArray groupsText(const QList<QStringList>& groups) const
    {
        QByteArray text;
        for (const QStringList& group : groups) {
            for (const QString& path : group)
                text += tree.path(path).toUtf8() + '\n';
            text += '\n';
        }
        return text;
    }
};

} // namespace

TEST_F(ScanDriverRun, PrintsGroupsOfTwoOrMoreInScanOrderColdAndFromTheWarmCache)
{
    const QByteArray words = "same words\n";
    tree.file(QStringLiteral("c/third.txt"), words);
    tree.file(QStringLiteral("a/orig.txt"), words);
    tree.file(QStringLiteral("b/copy.txt"), words);
    tree.hardLink(QStringLiteral("a/z-link.txt"), tree.path(QStringLiteral("a/orig.txt")));
    tree.file(QStringLiteral(".hidden/copy.txt"), words);
    tree.file(QStringLiteral("unique.txt"), "only one\n");
    // Four files of one size beyond the first block: two equal, one differing
    // only in its last byte, one only in its first.
    const QByteArray big = QByteArray(200000, 'q') + "X";
    QByteArray lastDiffers = big;
    lastDiffers.back() = 'Y';
    QByteArray firstDiffers = big;
    firstDiffers.front() = 'r';
    tree.file(QStringLiteral("big/one.bin"), big);
    tree.file(QStringLiteral("big/two.bin"), big);
    tree.file(QStringLiteral("big/three.bin"), lastDiffers);
    tree.file(QStringLiteral("big/four.bin"), firstDiffers);

    const QByteArray expected = groupsText({
        { QStringLiteral("a/orig.txt"), QStringLiteral("b/copy.txt"), QStringLiteral("c/third.txt") },
        { QStringLiteral("big/one.bin"), QStringLiteral("big/two.bin") },
    });
    const QString summary
        = QStringLiteral("8 files scanned, 0 skipped, 2 groups, 3 duplicate files, %1 duplicate bytes")
              .arg(2 * words.size() + big.size());

    const Outcome cold = run({ tree.root() });
    EXPECT_EQ(cold.exitCode, 0) << cold.err.toStdString();
    EXPECT_EQ(cold.out, expected);
    EXPECT_TRUE(cold.err.contains(summary)) << cold.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(home.cacheHome() + QStringLiteral("/Vellicor/Vellicor.db")));
    // A headless run keeps its log like the program does.
    QFile log(home.stateHome() + QStringLiteral("/Vellicor/vellicor.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("resetAllVariableOnStartScanning"));

    const Outcome warm = run({ tree.root() });
    EXPECT_EQ(warm.exitCode, 0) << warm.err.toStdString();
    EXPECT_EQ(warm.out, expected);
    EXPECT_TRUE(warm.err.contains(summary)) << warm.err.toStdString();
}

TEST_F(ScanDriverRun, OptionsHoldForTheRunOnlyAndStoredExcludedFoldersApply)
{
    {
        UserDefaults stored(settingsFolder());
        stored.setValue(QLatin1String(SettingsKey::searchContent), 1);
        stored.setValue(QLatin1String(SettingsKey::searchOptions), QVariantList { 3 });
        stored.setValue(QLatin1String(SettingsKey::excludedFolders),
            QVariantList { makeFolderEntry(tree.path(QStringLiteral("skip")), 0) });
    }
    const auto expectStoredSettingsUnchanged = [this] {
        UserDefaults reopened(settingsFolder());
        EXPECT_EQ(reopened.integerValue(QLatin1String(SettingsKey::searchContent)), 1);
        EXPECT_EQ(reopened.arrayValue(QLatin1String(SettingsKey::searchOptions)), QVariantList { qlonglong(3) });
        EXPECT_FALSE(reopened.object(QLatin1String(SettingsKey::excludeDuplicateLessSizeInKB)).isValid());
        EXPECT_FALSE(reopened.object(QLatin1String(SettingsKey::includeExtensionList)).isValid());
        EXPECT_FALSE(reopened.object(QLatin1String(SettingsKey::excludeExtensionList)).isValid());
    };
    tree.file(QStringLiteral("n1/report.txt"), "alpha");
    tree.file(QStringLiteral("n2/report.txt"), "beta!");
    tree.file(QStringLiteral("other/notes.txt"), "alpha");
    tree.file(QStringLiteral("skip/report.txt"), "alpha");

    const Outcome byName = run({ QStringLiteral("--attributes"), QStringLiteral("--criteria"), QStringLiteral("1"),
        QStringLiteral("--min-size-option=-1"), tree.root() });
    EXPECT_EQ(byName.exitCode, 0) << byName.err.toStdString();
    EXPECT_EQ(byName.out, groupsText({ { QStringLiteral("n1/report.txt"), QStringLiteral("n2/report.txt") } }));
    expectStoredSettingsUnchanged();

    const Outcome largeOnly = run({ QStringLiteral("--min-size-option"), QStringLiteral("3"), tree.root() });
    EXPECT_EQ(largeOnly.exitCode, 0) << largeOnly.err.toStdString();
    EXPECT_EQ(largeOnly.out, QByteArray());
    EXPECT_TRUE(largeOnly.err.contains(QStringLiteral("0 groups"))) << largeOnly.err.toStdString();
    expectStoredSettingsUnchanged();

    // The stored settings answer again: content, every size.
    const Outcome byContent = run({ tree.root() });
    EXPECT_EQ(byContent.out, groupsText({ { QStringLiteral("n1/report.txt"), QStringLiteral("other/notes.txt") } }));
}

// A folder named through a link into an excluded folder scans nothing, and
// the run says why instead of only counting no files.
TEST_F(ScanDriverRun, AFolderThatLeadsIntoAnExcludedFolderIsToldNotScanned)
{
    tree.file(QStringLiteral("kept/a.txt"), "twin");
    tree.file(QStringLiteral("kept/b.txt"), "twin");
    const QString kept = QFileInfo(tree.path(QStringLiteral("kept"))).canonicalFilePath();
    const QString link = tree.symlink(QStringLiteral("to-kept"), kept);
    {
        UserDefaults stored(settingsFolder());
        stored.setValue(QLatin1String(SettingsKey::excludedFolders), QVariantList { makeFolderEntry(kept) });
    }
    const Outcome outcome = run({ link });
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.out.isEmpty());
    EXPECT_TRUE(outcome.err.contains(
        QStringLiteral("not scanned: %1 leads to %2, in %2, a folder excluded from scanning in the settings.")
            .arg(link, kept)))
        << outcome.err.toStdString();
}

TEST_F(ScanDriverRun, BadCommandLinesAndPathsExitWithStatusTwoAndWriteNothing)
{
    tree.file(QStringLiteral("lone.txt"), "one file");
    const QString missing = tree.path(QStringLiteral("missing"));
    const QList<QStringList> commandLines {
        { QStringLiteral("--bogus"), tree.root() },
        { QStringLiteral("--min-size-option"), QStringLiteral("x"), tree.root() },
        { QStringLiteral("--criteria"), QStringLiteral("1,x"), tree.root() },
        { QStringLiteral("--criteria"), QStringLiteral("9"), tree.root() },
        { QStringLiteral("--criteria") },
        { QStringLiteral("--attributes") },
        {},
        { tree.root(), missing },
        // Scan Now refuses a single file.
        { tree.path(QStringLiteral("lone.txt")) },
    };
    for (const QStringList& arguments : commandLines) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        const Outcome outcome = run(arguments);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_TRUE(outcome.out.isEmpty());
        EXPECT_TRUE(outcome.err.contains(QStringLiteral("usage: vellicor-scan"))) << outcome.err.toStdString();
    }
    EXPECT_TRUE(run({ missing }).err.contains(missing));
    EXPECT_FALSE(QFileInfo::exists(settingsFolder()));
}

TEST_F(ScanDriverRun, AContentScanWithoutMd5IsRefusedAloudInsteadOfFindingNothing)
{
    tree.file(QStringLiteral("a.txt"), "twin");
    tree.file(QStringLiteral("b.txt"), "twin");
    // A crypto configuration that allows approved algorithms only, as a
    // restricted system has it: MD5 is refused.
    const QString config = tree.file(QStringLiteral("restricted.cnf"),
        "openssl_conf = openssl_init\n[openssl_init]\nalg_section = evp\n[evp]\ndefault_properties = fips=yes\n");
    QProcessEnvironment restricted;
    restricted.insert(QStringLiteral("OPENSSL_CONF"), config);
    const Outcome outcome = run({ tree.root() }, restricted);
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_TRUE(outcome.out.isEmpty());
    EXPECT_TRUE(outcome.err.contains(QStringLiteral("cannot be compared by their contents")))
        << outcome.err.toStdString();
}

TEST_F(ScanDriverRun, NamesThatWouldForgeLinesOrDrawAsOtherNamesArePrintedEscaped)
{
    const QByteArray words = "same words\n";
    tree.file(QStringLiteral("invoice\u202efdp.exe"), words);
    tree.file(QStringLiteral("clear\x1b[2J\u009b2J.txt"), words);
    tree.file(QStringLiteral("two\nlines\\.txt"), words);

    const Outcome outcome = run({ tree.root() });
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    const QByteArray root = tree.root().toUtf8();
    QList<QByteArray> printed = outcome.out.split('\n');
    std::sort(printed.begin(), printed.end());
    const QList<QByteArray> expected { "", "", root + "/clear\\x1b[2J\\u009b2J.txt", root + "/invoice\\u202efdp.exe",
        root + "/two\\nlines\\\\.txt" };
    EXPECT_EQ(printed, expected) << outcome.out.constData();
}

// With HOME empty, every folder of the program would land below the root:
// the driver says why and ends before it reads or makes anything.
TEST_F(ScanDriverRun, WithoutAHomeFolderItSaysWhyAndMakesNothing)
{
    tree.file(QStringLiteral("a.txt"), "twin");
    tree.file(QStringLiteral("b.txt"), "twin");
    QProcessEnvironment noHome;
    noHome.insert(QStringLiteral("HOME"), QString());
    const Outcome outcome = run({ tree.root() }, noHome);
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_TRUE(outcome.out.isEmpty());
    EXPECT_TRUE(outcome.err.startsWith(QStringLiteral("vellicor-scan: Vellicor cannot start without a home folder of "
                                                      "your own. The HOME environment variable is not set.")))
        << outcome.err.toStdString();
    for (const QString& base : { home.configHome(), home.cacheHome(), home.stateHome(), home.dataHome() })
        EXPECT_FALSE(QFileInfo::exists(base + QStringLiteral("/Vellicor"))) << base.toStdString();
}
