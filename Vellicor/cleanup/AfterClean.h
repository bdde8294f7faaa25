#pragma once

#include "core/GlobalObjects.h"

#include <QString>
#include <QStringList>

class ResultsState;
struct RemovalReport;

// What the result area shows once a clean-up or an undo has changed the
// groups.
enum class ResultArea {
    // The list of groups.
    listing,
    // Groups are left, none under the chosen category: the list stays, empty,
    // and the mark menu button is disabled.
    emptyCategory,
    // No group is left at all: the success view.
    allRemoved,
};

// Drops from arrMainGroup the groups that hold fewer than two files, shows
// the rest (the chosen category's groups, or all) sorted, and recounts the
// marked totals. GUI thread.
ResultArea updateResultsAfterRemoval(ResultsState& state);

// The after-clean window's texts for one ended run. Empty texts stay hidden.
struct AfterCleanFigures {
    // False for a run that removed nothing: the success line stays hidden.
    bool anyRemoved = false;
    QString totalDupsCleaned;
    QString duplicatesRemoved;
    QString dupCleaned;
    QString dupSizeCleaned;
    QString uniqueFilesRetain;
    QString uniqueFilesRetained;
    QString inCaseMistake;
    // How to finish in the photo library; only when its items took part.
    QString trashInfoAfterClean;
    QString dupCleanedLibrary;
    // The files the run left where they were, "path: reason" each, and a
    // last line when Stop ended the run early.
    QString notRemovedHeading;
    QStringList notRemoved;
};

AfterCleanFigures afterCleanFigures(const RemovalReport& report, ScanSource source);
