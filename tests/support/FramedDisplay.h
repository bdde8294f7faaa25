#pragma once

// A real X display whose window manager frames windows with a title bar, for
// the tests of where windows open and which one is in front: an X server and
// a window manager started for the test, which runs again in a process of its
// own on that display.
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

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

// Framed: the window manager has put its frame round the window.
inline bool framed(const QWidget* window)
{
    return window->isVisible() && window->frameGeometry().top() < window->geometry().top();
}

// Whether this process is the run on a framed display.
inline bool onAFramedDisplay()
{
    return qEnvironmentVariableIsSet("VELLICOR_TEST_FRAMED_DISPLAY");
}

// Runs the test named (suite.name) again, in a process of its own on a framed
// display, and takes its outcome; skips where there is no such display.
inline void runOnAFramedDisplay(const char* test)
{
    FramedDisplay display;
    if (!display.whyNot.empty())
        GTEST_SKIP() << display.whyNot;
    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display.display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("VELLICOR_TEST_FRAMED_DISPLAY"), QStringLiteral("1"));
    // The display's keyboard library copies a name out of the server's reply
    // with strndup, which the address checker's strict string checks read
    // past the reply's end: not ours, and only on a real display.
    if (const QString checks = environment.value(QStringLiteral("ASAN_OPTIONS")); !checks.isEmpty())
        environment.insert(QStringLiteral("ASAN_OPTIONS"), checks + QStringLiteral(":strict_string_checks=0"));
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(
        QCoreApplication::applicationFilePath(), { QStringLiteral("--gtest_filter=") + QString::fromLatin1(test) });
    ASSERT_TRUE(run.waitForFinished(120000)) << "the run on the display did not end";
    const QByteArray output = run.readAll();
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit) << output.constData();
    EXPECT_EQ(run.exitCode(), 0) << output.constData();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.constData();
}
