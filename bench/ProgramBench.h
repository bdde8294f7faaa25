#pragma once

// The program as main() builds it, for the benchmarks that drive it whole:
// its settings, digest cache and trash in a throwaway home, and the buttons
// of its shown windows found by name.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QWidget>

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
