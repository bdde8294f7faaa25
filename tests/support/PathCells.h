#pragma once
// Copies in different folders and what the group view draws of their paths,
// for the tests of the views at a window's real sizes.
#include "controls/CustomCell.h"
#include "controls/CustomOutlineView.h"
#include "core/DuplicateGroup.h"
#include "core/FileInfoNode.h"
#include "support/ResultsRows.h"

#include <QDateTime>
#include <QFileInfo>
#include <QScrollBar>
#include <gtest/gtest.h>

#include <vector>

// Songs, clips and camera pictures, each in a home folder and on a backup
// disk, with the dates, sizes and extensions a scan records: enough groups
// that an expanded view scrolls.
inline std::vector<DuplicateGroupPtr> copiesInTwoPlaces()
{
    const auto pair = [](const QString& place, const QString& name, quint64 size) {
        return groupOfPaths({ QStringLiteral("/home/user/") + place + QLatin1Char('/') + name,
                                QStringLiteral("/media/backup-disk/") + place + QLatin1Char('/') + name },
            size);
    };
    std::vector<DuplicateGroupPtr> groups { pair(QStringLiteral("Music"), QStringLiteral("track 01.mp3"), 999'999'999),
        pair(QStringLiteral("Videos"), QStringLiteral("clip 7.mp4"), 999'990'000) };
    for (int g = 0; g < 12; ++g)
        groups.push_back(pair(QStringLiteral("Pictures"), QStringLiteral("IMG_%1.jpg").arg(4100 + g), 4'200'000));
    for (const DuplicateGroupPtr& group : groups) {
        for (const FileInfoNodePtr& file : group->children) {
            file->createDate = QDateTime(QDate(2024, 5, 28), QTime(10, 48, 58));
            file->modDate = QDateTime(QDate(2024, 6, 10), QTime(20, 38, 38));
            file->fileExtension = QFileInfo(*file->fileName).suffix();
        }
    }
    return groups;
}

// shown is path whole, or "…/" and at least its last parts.
inline bool keepsPathEnd(const QString& shown, const QString& path, int parts)
{
    const QString end = path.section(QLatin1Char('/'), -parts);
    return shown == path || (shown.startsWith(QChar(0x2026)) && shown.endsWith(QLatin1Char('/') + end));
}

// The expanded outline fits its view beside the scroller, and every file
// row's path keeps its last folder and its name beside its size, dates and
// type drawn whole. Returns how many file rows it saw.
inline int expectPathsKeepTheirEnds(CustomOutlineView& outline)
{
    EXPECT_TRUE(outline.verticalScrollBar()->isVisible());
    EXPECT_EQ(outline.horizontalScrollBar()->maximum(), 0) << "the rows are wider than the view";
    auto* cell = qobject_cast<CustomCell*>(outline.itemDelegate());
    if (!cell) {
        ADD_FAILURE() << "no cell";
        return 0;
    }
    using Outlet = CustomCell::Outlet;
    int seen = 0;
    for (int g = 0; g < outline.model()->rowCount(); ++g) {
        const QModelIndex group = outline.model()->index(g, 0);
        for (int f = 0; f < outline.model()->rowCount(group); ++f) {
            const QModelIndex file = outline.model()->index(f, 0, group);
            const QString path = file.data(CustomCell::roleOf(Outlet::lblFilePath)).toString();
            if (!file.data(CustomCell::isFileRecordRole).toBool() || path.isEmpty())
                continue;
            ++seen;
            const QRect row = outline.visualRect(file);
            const QString shown = cell->shownText(row, file, Outlet::lblFilePath);
            EXPECT_TRUE(keepsPathEnd(shown, path, 2)) << "\"" << shown.toStdString() << "\" for " << path.toStdString();
            for (const Outlet outlet : { Outlet::lblSize, Outlet::lblCretedDate, Outlet::lblModifiedDate, Outlet::lblExt }) {
                EXPECT_EQ(cell->shownText(row, file, outlet).toStdString(),
                    file.data(CustomCell::roleOf(outlet)).toString().toStdString());
            }
        }
    }
    return seen;
}
