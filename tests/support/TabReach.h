#pragma once

#include <QAbstractButton>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

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

// What widget draws: with its children, except for a window, whose children
// are stops of their own.
inline QImage drawnLook(QWidget* widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(),
        widget->isWindow() ? QWidget::RenderFlags(QWidget::DrawWindowBackground)
                           : QWidget::DrawWindowBackground | QWidget::DrawChildren);
    return image;
}

// Tab pressed round window from the control that has the focus until it has
// it again: every stop is one the user sees take the focus (it draws itself
// otherwise while it has it), and the stops come in the order they are
// drawn, top to bottom and, along a row, left to right, from the first drawn
// round to it again. window must be active.
inline void expectTabGoesRoundAsDrawn(QWidget& window, int limit = 40)
{
    const auto focused = [&window] { return window.focusWidget() ? window.focusWidget() : &window; };
    QWidget* first = focused();
    std::vector<QWidget*> stops { first };
    std::vector<QImage> withFocus { drawnLook(first) };
    std::vector<QImage> without(1);
    for (int i = 0; i < limit; ++i) {
        QWidget* from = focused();
        QTest::keyClick(from, Qt::Key_Tab);
        QWidget* to = focused();
        ASSERT_NE(to, from) << "Tab did not move from " << from->objectName().toStdString();
        const auto at = std::find(stops.begin(), stops.end(), from);
        ASSERT_NE(at, stops.end());
        without[std::size_t(at - stops.begin())] = drawnLook(from);
        if (to == first)
            break;
        ASSERT_EQ(std::find(stops.begin(), stops.end(), to), stops.end())
            << to->objectName().toStdString() << " came round again before " << first->objectName().toStdString();
        stops.push_back(to);
        withFocus.push_back(drawnLook(to));
        without.emplace_back();
    }
    ASSERT_EQ(focused(), first) << "Tab never came round";
    std::vector<std::string> names;
    for (std::size_t i = 0; i < stops.size(); ++i) {
        const std::string name
            = stops[i]->objectName().isEmpty() ? stops[i]->metaObject()->className() : stops[i]->objectName().toStdString();
        names.push_back(name);
        EXPECT_NE(stops[i], &window) << "the window itself is a stop, which shows no focus";
        EXPECT_NE(withFocus[i], without[i]) << name << " shows no focus";
    }
    std::vector<std::size_t> drawn(stops.size());
    for (std::size_t i = 0; i < drawn.size(); ++i)
        drawn[i] = i;
    const auto place = [&](std::size_t i) {
        const QPoint at = stops[i] == &window ? QPoint() : stops[i]->mapTo(&window, QPoint());
        return std::pair { at.y(), at.x() };
    };
    std::stable_sort(drawn.begin(), drawn.end(), [&](std::size_t a, std::size_t b) { return place(a) < place(b); });
    std::vector<std::string> drawnNames;
    for (const std::size_t i : drawn)
        drawnNames.push_back(names[i]);
    // A round: it may start anywhere.
    std::rotate(names.begin(), std::find(names.begin(), names.end(), drawnNames.front()), names.end());
    EXPECT_EQ(names, drawnNames) << "the stops as reached, then as drawn";
}
