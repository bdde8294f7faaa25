#pragma once
// The clicks of the road tests, as a user makes them: on a button once it is
// shown and enabled, on the shown button a language key titles.
#include "core/Localization.h"
#include "support/TitledButton.h"
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
