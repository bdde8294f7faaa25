#pragma once

// The program as main() builds it, for the benchmarks that drive it whole:
// its settings, digest cache and trash in a throwaway home, and the buttons
// of its shown windows found by name.
#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>
#include <functional>

// A throwaway home: every XDG folder of the program below one temporary
// folder, set before the application object is made.
struct ThrowawayHome {
    QTemporaryDir folder;

    ThrowawayHome()
    {
        if (!folder.isValid())
            return;
        for (const char* variable : { "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME" }) {
            const QString path = folder.path() + QLatin1Char('/') + QString::fromLatin1(variable);
            QDir().mkpath(path);
            qputenv(variable, QFile::encodeName(path));
        }
    }
    bool isValid() const { return folder.isValid(); }
    // The program's settings folder in it.
    QString settingsFolder() const { return folder.path() + QStringLiteral("/XDG_CONFIG_HOME/Vellicor"); }
};

// Offscreen unless a display platform is named; before the application
// object is made.
inline void preferOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The application named as main() names it, and left running without a
// window.
inline void nameAsTheProgram()
{
    QApplication::setApplicationName(QStringLiteral("Vellicor"));
    QApplication::setOrganizationName(QStringLiteral("Vellicor"));
    QApplication::setQuitOnLastWindowClosed(false);
}

// The shown button of that name on any shown window, or null.
inline QAbstractButton* shownButton(const QString& name)
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible())
            continue;
        if (auto* button = top->findChild<QAbstractButton*>(name); button && button->isVisible())
            return button;
    }
    return nullptr;
}

// Serves events until done() holds; false when the limit came first. An
// alert on the way is printed and answered with its default button.
inline bool serveUntil(const std::function<bool()>& done, int limitSeconds)
{
    const QDeadlineTimer deadline(qint64(limitSeconds) * 1000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* alert = qobject_cast<QMessageBox*>(top);
            if (!alert || !alert->isVisible())
                continue;
            std::printf("alert: %s\n", qPrintable(alert->text()));
            QAbstractButton* answer = alert->defaultButton();
            if (!answer && !alert->buttons().isEmpty())
                answer = alert->buttons().first();
            if (answer)
                answer->click();
        }
        QThread::msleep(2);
    }
    return true;
}
