#pragma once

// The keys of the keyboard-only tests, pressed as a user presses them: to an
// open menu, else where the focus is, else on the active window; Tab and Shift+Tab until the focus
// rests where wanted, every stop on the way named when it never does.

#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>

#include "app/AppComposition.h"
#include "home/MainViewController.h"
#include "results/ResultViewController.h"
#include "support/WaitUntil.h"

#include "RoadHelpers.h"

inline QString describeWidget(const QWidget* widget)
{
    if (!widget)
        return QStringLiteral("(nothing)");
    return QString::fromLatin1(widget->metaObject()->className()) + QLatin1Char(':') + widget->objectName();
}

class KeyDriver {
public:
    // The main window. While the results screen lies over the home screen,
    // the home screen's controls below it are no stops of Tab.
    QPointer<QWidget> mainWindow;
    QPointer<QWidget> homeBelow;
    QPointer<QWidget> resultsOver;

    // The program launched as main() does, its window active and the keys
    // aimed at it; null when it never shows.
    QMainWindow* launch(AppComposition& program)
    {
        QMainWindow* window = launchShown(program);
        if (!window)
            return nullptr;
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window))
            return nullptr;
        mainWindow = window;
        homeBelow = &program.home();
        resultsOver = &program.results();
        return window;
    }

    // Where the keys go: the focused control, else the active window. When a
    // sheet or a chooser has gone, the window manager gives the main window
    // the keys again; the offscreen display has none to do it.
    QWidget* target() const
    {
        // An open menu takes every key, as it grabs the keyboard.
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()); menu && menu->isVisible())
            return menu;
        // A hidden sheet or chooser may still hold the display's focus: the
        // main window counts as active through it, yet no shown widget has
        // the keys.
        const auto shownActive = [] {
            const QWidget* active = QApplication::activeWindow();
            return active && active->isVisible();
        };
        if (!shownActive() && mainWindow && !waitUntil(shownActive, 500)) {
            mainWindow->activateWindow();
            EXPECT_TRUE(waitUntil([this] { return QApplication::activeWindow() == mainWindow; }));
        }
        QWidget* focus = QApplication::focusWidget();
        return focus ? focus : QApplication::activeWindow();
    }

    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        QWidget* to = target();
        ASSERT_TRUE(to) << "no window takes keys";
        QTest::keyClick(to, key, modifiers);
    }

    // Tab (or Shift+Tab) until the focus rests on a shown control that wanted
    // accepts.
    QWidget* tabTo(const std::function<bool(QWidget*)>& wanted, bool backwards = false, int limit = 60) const
    {
        QStringList stops;
        for (int i = 0; i <= limit; ++i) {
            QWidget* to = target();
            QWidget* focus = QApplication::focusWidget();
            if (focus && focus->isVisible() && wanted(focus))
                return focus;
            stops << describeWidget(focus);
            if (focus && resultsOver && homeBelow && resultsOver->isVisible() && homeBelow->isAncestorOf(focus)
                && !resultsOver->isAncestorOf(focus))
                ADD_FAILURE() << "Tab stopped below the results screen, at " << describeWidget(focus).toStdString()
                              << " after " << stops.join(QStringLiteral(", ")).toStdString();
            if (!to)
                break;
            QTest::keyClick(
                to, backwards ? Qt::Key_Backtab : Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
        }
        ADD_FAILURE() << "Tab never reached it; stops: " << stops.join(QStringLiteral(", ")).toStdString();
        return nullptr;
    }

    QWidget* tabTo(const QWidget* wanted, bool backwards = false) const
    {
        return tabTo([wanted](QWidget* w) { return w == wanted; }, backwards);
    }

    QWidget* tabToNamed(const char* objectName, bool backwards = false) const
    {
        SCOPED_TRACE(objectName);
        return tabTo([objectName](QWidget* w) { return w->objectName() == QLatin1String(objectName); }, backwards);
    }
};
