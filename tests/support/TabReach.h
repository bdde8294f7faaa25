#pragma once

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>

#include <vector>

// The controls of window that Tab stops at, in the order of its focus chain:
// the widgets Tab moves to (taking the focus by Tab, shown, enabled). Walked
// the way the window's own Tab handling walks it, so a window kept off the
// screen, which never becomes active, is covered too.
inline std::vector<QWidget*> widgetsReachedByTab(QWidget& window)
{
    std::vector<QWidget*> reached;
    for (QWidget* w = window.nextInFocusChain(); w && w != &window; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(&window) && w->isEnabled()
            && w->window() == &window)
            reached.push_back(w);
    }
    return reached;
}

// The buttons a mouse could press in window: shown, enabled, not covered by
// their own window's frame.
inline std::vector<QAbstractButton*> buttonsAMouseCanPress(QWidget& window)
{
    std::vector<QAbstractButton*> buttons;
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        if (button->window() == &window && button->isVisible() && button->isEnabled() && button->width() > 0
            && button->height() > 0)
            buttons.push_back(button);
    }
    return buttons;
}

// Every button a mouse could press in window is a stop of Tab too, and each of
// pressedBySpace, given the focus by Tab, is pressed once by Space.
inline void expectTabReachesEveryButton(QWidget& window, const std::vector<QAbstractButton*>& pressedBySpace = {})
{
    const std::vector<QWidget*> reached = widgetsReachedByTab(window);
    const auto isReached = [&reached](QWidget* widget) {
        return std::find(reached.begin(), reached.end(), widget) != reached.end();
    };
    const std::vector<QAbstractButton*> buttons = buttonsAMouseCanPress(window);
    ASSERT_FALSE(buttons.empty());
    for (QAbstractButton* button : buttons)
        EXPECT_TRUE(isReached(button)) << button->objectName().toStdString();
    for (QAbstractButton* button : pressedBySpace) {
        ASSERT_NE(button, nullptr);
        ASSERT_TRUE(isReached(button)) << button->objectName().toStdString();
        QSignalSpy pressed(button, &QAbstractButton::clicked);
        button->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button, Qt::Key_Space);
        EXPECT_EQ(pressed.count(), 1) << button->objectName().toStdString();
    }
}
