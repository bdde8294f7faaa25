#pragma once
// The clicks of the road tests, as a user makes them: on a button once it is
// shown and enabled, on the shown button a language key titles.
#include "core/Localization.h"
#include "support/WaitUntil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

inline void click(QAbstractButton* button)
{
    ASSERT_TRUE(button && waitUntil([button] { return button->isVisible() && button->isEnabled(); }));
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

// The shown button titled with the text of key, waited for; none when no
// such button comes.
inline QAbstractButton* titled(const char* key)
{
    QAbstractButton* found = nullptr;
    waitUntil([&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            for (QAbstractButton* button : top->findChildren<QAbstractButton*>())
                found = button->isVisible() && button->text() == localizedText(key) ? button : found;
        }
        return found != nullptr;
    });
    return found;
}
