#pragma once

#include <QString>
#include <QStringList>

// The underlined letters of a menu's titles, which Alt and the letter (in the
// menu bar) or the letter alone (in an open menu) choose. Titles come from the
// language table, so the letters are chosen from what each language's titles
// hold rather than fixed.

// The titles of one menu (or of the menu bar), each marked with a letter no
// other of them has: the first letter of one of its words still free, else
// any letter still free, else none. An '&' a title holds stays one.
QStringList withMnemonics(const QStringList& titles);
// A title as the menu shows it, its mark taken out.
QString withoutMnemonic(const QString& title);
