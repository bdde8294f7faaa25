#pragma once

#include "marking/ResultsState.h"

#include <QStringList>

// The shown groups as a test compares them: per group its shown files' names
// in shown order, each with its mark ("+") and protection ("!"), then the
// group's state; last the marked count and size.
inline QStringList shownMarks(const ResultsState& state)
{
    QStringList groups;
    for (const DuplicateGroupPtr& group : state.arrGroups) {
        QString text;
        for (const FileInfoNodePtr& f : group->filterChildren)
            text += *f->fileName + (f->isMarked() ? "+" : "") + (f->isProtected ? "!" : "") + QLatin1Char(' ');
        groups.append(text + QString::number(group->state));
    }
    groups.append(QString::number(state.countMarked()) + QLatin1Char('/') + QString::number(state.sizeOfMarkedFiles()));
    return groups;
}
