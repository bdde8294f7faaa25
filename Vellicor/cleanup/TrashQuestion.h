#pragma once

#include "core/GlobalObjects.h"

#include <QString>

// What the confirmation sheet asks: its heading, the line below it, the
// title of the button that goes on, and whether to add that marked files on
// a network volume will be deleted for good. With such files the button
// deletes rather than moves to the Trash, and says so.
struct TrashQuestion {
    QString heading;
    QString info;
    QString proceed;
    bool networkNote = false;
};

// The question for removing shown marked files of a result set from source
// while hidden marked files stay hidden by the chosen category: it speaks of
// one file in the singular, counts the files that go when some marks are
// hidden and tells that those stay, and for the photo catalog that only its
// entries go, for good.
TrashQuestion trashQuestion(ScanSource source, qint64 shown, qint64 hidden, bool networkNote);
