// The Preferences window on a real X display whose window manager frames it
// with a title bar: an X server and a window manager are started for the
// test, which runs again in a process of its own on that display.
#include "base/UserDefaults.h"
#include "preferences/PreferencesKit.h"
#include "preferences/PreferencesWindowController.h"
#include "support/TempHome.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

// Set in the run on the framed display.
constexpr char onTheDisplay[] = "VELLICOR_TEST_FRAMED_DISPLAY";

class PlainPane : public PreferencePane {
public:
    explicit PlainPane(const char* identifier)
        : identifier_(QString::fromLatin1(identifier))
    {
    }
    PaneIdentifier preferencePaneIdentifier() const override { return { identifier_ }; }
    QString preferencePaneTitle() const override { return identifier_; }
    QSize sizeHint() const override { return { 420, 260 }; }

private:
    QString identifier_;
};

std::vector<PreferencePane*> twoPanes()
{
    return { new PlainPane("general"), new PlainPane("scanhistory") };
}

// Framed: the window manager has put its frame round the window.
bool framed(const QWidget* window)
{
    return window->isVisible() && window->frameGeometry().top() < window->geometry().top();
}

// An X server on a free display with a window manager on it, for as long as
// this lives; whyNot says why there is none.
class FramedDisplay {
public:
    FramedDisplay()
    {
        const QString server = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        const QString manager = QStandardPaths::findExecutable(QStringLiteral("openbox"));
        if (server.isEmpty() || manager.isEmpty()) {
            whyNot = "no X server (Xvfb) or window manager (openbox) on this machine";
            return;
        }
        // The server writes the display it took on the descriptor given.
        int pipeEnds[2];
        if (::pipe(pipeEnds) != 0) {
            whyNot = "no pipe";
            return;
        }
        server_.setProgram(server);
        server_.setArguments({ QStringLiteral("-displayfd"), QString::number(pipeEnds[1]), QStringLiteral("-screen"),
            QStringLiteral("0"), QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp") });
        server_.setChildProcessModifier([fd = pipeEnds[0]] { ::close(fd); });
        server_.start();
        ::close(pipeEnds[1]);
        QByteArray number;
        char c = 0;
        while (::read(pipeEnds[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(pipeEnds[0]);
        if (number.isEmpty()) {
            whyNot = "the X server did not start";
            return;
        }
        display = QStringLiteral(":") + QString::fromLatin1(number);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), display);
        manager_.setProcessEnvironment(environment);
        manager_.setProgram(manager);
        // It runs its start-up command once it manages the display: a window
        // shown before that would go unframed.
        const QString ready = marks_.filePath(QStringLiteral("managing"));
        manager_.setArguments({ QStringLiteral("--config-file"), QStringLiteral("/dev/null"),
            QStringLiteral("--startup"), QStringLiteral("touch ") + ready });
        manager_.start();
        if (!manager_.waitForStarted(10000) || !waitUntil([&] { return QFileInfo::exists(ready); }, 20000))
            whyNot = "the window manager did not start";
    }
    ~FramedDisplay()
    {
        for (QProcess* process : { &manager_, &server_ }) {
            if (process->state() != QProcess::NotRunning) {
                process->terminate();
                if (!process->waitForFinished(5000))
                    process->kill();
                process->waitForFinished(5000);
            }
        }
    }

    QString display;
    std::string whyNot;

private:
    QTemporaryDir marks_;
    QProcess server_;
    QProcess manager_;
};

// Runs this test again on a framed display; its output when it failed.
void runOnAFramedDisplay(const char* testName)
{
    FramedDisplay display;
    if (!display.whyNot.empty())
        GTEST_SKIP() << display.whyNot;
    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display.display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QString::fromLatin1(onTheDisplay), QStringLiteral("1"));
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QCoreApplication::applicationFilePath(),
        { QStringLiteral("--gtest_filter=PreferencesUnderAWindowManager.") + QString::fromLatin1(testName) });
    ASSERT_TRUE(run.waitForFinished(120000)) << "the run on the display did not end";
    const QByteArray output = run.readAll();
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit) << output.constData();
    EXPECT_EQ(run.exitCode(), 0) << output.constData();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.constData();
}

} // namespace

TEST(PreferencesUnderAWindowManager, OpensWhereItWasClosedRunAfterRun)
{
    if (!qEnvironmentVariableIsSet(onTheDisplay)) {
        runOnAFramedDisplay("OpensWhereItWasClosedRunAfterRun");
        return;
    }
    const QString folder
        = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Vellicor");
    std::optional<QPoint> closedAt;
    // Each run a new store on the file and a new window, as a new start of
    // the program makes them; within a run, closed and opened again.
    for (int run = 0; run < 4; ++run) {
        UserDefaults defaults(folder);
        PreferencesWindowController controller(twoPanes(), Style::toolbarItems, false, true, defaults);
        for (int opening = 0; opening < 2; ++opening) {
            controller.showPreferencesWindow(std::nullopt);
            QWidget* window = controller.window();
            if (!closedAt) {
                ASSERT_TRUE(waitUntil([&] { return framed(window); })) << "the window manager never framed the window";
                QTest::qWait(500);
            } else {
                const bool there
                    = waitUntil([&] { return framed(window) && window->frameGeometry().topLeft() == *closedAt; }, 3000);
                EXPECT_TRUE(there) << "run " << run << ", opening " << opening << ": closed at (" << closedAt->x()
                                   << ", " << closedAt->y() << "), opened at (" << window->frameGeometry().x() << ", "
                                   << window->frameGeometry().y() << ")";
            }
            closedAt = window->frameGeometry().topLeft();
            window->close();
            ASSERT_TRUE(waitUntil([&] { return !window->isVisible(); }));
        }
        ASSERT_TRUE(defaults.synchronize());
    }
}
