#pragma once
// The shown button a language key titles, as a user finds it on a sheet or
// an alert. One definition for every test: an inline function's lambdas are
// one type across the program, so two bodies of one name would be mixed.
#include "core/Localization.h"
#include "support/WaitUntil.h"

#include <QAbstractButton>
#include <QApplication>

// The shown button titled with the text of key, waited for; none when no
// such button comes.
inline QAbstractButton* titled(const char* key)
{
    const QString title = localizedText(key);
    QAbstractButton* found = nullptr;
    waitUntil([&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            for (QAbstractButton* button : top->findChildren<QAbstractButton*>()) {
                if (button->isVisible() && button->text() == title)
                    found = button;
            }
        }
        return found != nullptr;
    });
    return found;
}
