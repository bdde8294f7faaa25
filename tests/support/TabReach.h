#pragma once

#include <QAbstractButton>
#include <QWidget>

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
