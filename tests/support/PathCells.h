#pragma once
// Copies in different folders and what the group view and the list draw of
// their paths, for the tests of the views at a window's real sizes.
#include "controls/CustomCell.h"
#include "controls/CustomOutlineView.h"
#include "core/DuplicateGroup.h"
#include "core/FileInfoNode.h"
#include "support/ResultsRows.h"
#include "support/WaitUntil.h"

#include <QAbstractItemView>
#include <QAbstractProxyModel>
#include <QTableView>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHash>
#include <QHelpEvent>
#include <QScrollBar>
#include <QSet>
#include <QToolTip>
#include <gtest/gtest.h>

#include <vector>

// Songs, clips and camera pictures, each in a home folder and on a backup
// disk, with the dates, sizes and extensions a scan records: enough groups
// that an expanded view scrolls. Then copies with long names: a panorama in
// two folders of one picture folder, a camera's picture in the same camera
// folder at home and on a backup disk, and three copies of a contract in one
// folder under names that differ at their end.
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
    const QString panorama = QStringLiteral("Panorama of the harbour at dusk from the old lighthouse.jpg");
    const QString camera = QStringLiteral("DCIM Camera folder 100/IMG_20240528_104858_HDR_portrait_edited.jpg");
    groups.push_back(groupOfPaths({ QStringLiteral("/home/user/Pictures/Photos 2019/") + panorama,
                                      QStringLiteral("/home/user/Pictures/Keep Forever/") + panorama },
        5'800'000));
    groups.push_back(groupOfPaths(
        { QStringLiteral("/home/user/") + camera, QStringLiteral("/media/backup-disk/") + camera }, 3'100'000));
    const QString contracts = QStringLiteral("/home/user/Documents/Contracts/Lease agreement for the flat 2024");
    groups.push_back(groupOfPaths({ contracts + QStringLiteral(".pdf"), contracts + QStringLiteral(" (1).pdf"),
                                      contracts + QStringLiteral(" (2).pdf") },
        820'000));
    for (const DuplicateGroupPtr& group : groups) {
        for (const FileInfoNodePtr& file : group->children) {
            file->createDate = QDateTime(QDate(2024, 5, 28), QTime(10, 48, 58));
            file->modDate = QDateTime(QDate(2024, 6, 10), QTime(20, 38, 38));
            file->fileExtension = QFileInfo(*file->fileName).suffix();
        }
    }
    return groups;
}
// The file rows of copiesInTwoPlaces.
constexpr int copiesInTwoPlacesFiles = 35;

// What tells a copy of copiesInTwoPlaces apart from the other copies of its
// group, as it must stand in the shown path (folders: in the shown folder;
// empty when the copies share their folder): a folder, the start of the
// path, or the end of a name.
inline QString partApart(const QString& path, bool folder)
{
    if (folder) {
        QString apart = partApart(path, false);
        return apart.endsWith(QLatin1Char('/')) ? apart.chopped(1) : QString();
    }
    if (path.contains(QLatin1String("/Photos 2019/")))
        return QStringLiteral("/Photos 2019/");
    if (path.contains(QLatin1String("/Keep Forever/")))
        return QStringLiteral("/Keep Forever/");
    if (path.contains(QLatin1String("/Contracts/"))) {
        // The names differ only after their year.
        const QString name = path.section(QLatin1Char('/'), -1);
        return name.mid(name.lastIndexOf(QLatin1String("2024")) + 4);
    }
    // "/home" and "/media" tell these apart already.
    return path.startsWith(QLatin1String("/home/")) ? QStringLiteral("/home/") : QStringLiteral("/media/");
}

// The tip a view shows over point, in its viewport: empty when none.
inline QString tipAt(QAbstractItemView& view, QPoint point)
{
    QToolTip::hideText();
    QHelpEvent tip(QEvent::ToolTip, point, view.viewport()->mapToGlobal(point));
    QCoreApplication::sendEvent(view.viewport(), &tip);
    waitUntil([] { return QToolTip::isVisible(); }, 2000);
    const QString text = QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::hideText();
    return text;
}

// Every path a view draws through its cell's outlet, in each row: within its
// room, with what tells its copy apart standing whole, in a folder's path
// (folder) its last folder whole or its start when that tells it apart, in a
// file's path the start and the end of its name; the copies of one group
// never read alike unless they share their folder; the tip over the path is
// the whole path. texts gives, for each row's index, its file's path and the
// path shown. Returns how many rows it saw.
struct ShownPath {
    QModelIndex index;
    QString path;
    QString whole;
    QString shown;
    QRect room;
    // The tip over the path, taken while it was in view.
    QString tip;
};
inline int expectCopiesToldApart(const std::vector<std::vector<ShownPath>>& groups, const CustomCell& cell, CustomCell::Outlet outlet, bool folder)
{
    const QFontMetrics metrics(cell.drawnFont(outlet));
    int seen = 0;
    for (const std::vector<ShownPath>& copies : groups) {
        QSet<QString> texts;
        for (const ShownPath& copy : copies) {
            ++seen;
            const std::string where = "\"" + copy.shown.toStdString() + "\" for " + copy.whole.toStdString() + " in "
                + std::to_string(copy.room.width());
            EXPECT_LE(metrics.horizontalAdvance(copy.shown), copy.room.width()) << where;
            const QString apart = partApart(copy.path, folder);
            // The differing folder stands whole between slashes, the
            // differing start where the path starts, a differing name whole.
            const QString kept = apart.startsWith(QLatin1Char('/')) && !copy.shown.startsWith(apart)
                ? apart.mid(1)
                : apart;
            EXPECT_TRUE(kept.isEmpty() || copy.shown.contains(kept)) << where << " lost " << apart.toStdString();
            if (folder) {
                EXPECT_TRUE(copy.shown.endsWith(copy.whole.section(QLatin1Char('/'), -1))
                    || (!apart.isEmpty() && copy.shown.contains(kept)))
                    << where;
            } else {
                const QString name = copy.whole.section(QLatin1Char('/'), -1);
                EXPECT_TRUE(copy.shown.contains(QLatin1Char('/') + name.left(3))) << where << " lost its name";
                EXPECT_TRUE(copy.shown.endsWith(name.right(3))) << where << " lost its name's end";
            }
            texts.insert(copy.shown);
            EXPECT_EQ(copy.tip.toStdString(), copy.whole.toStdString()) << where;
        }
        if (!folder || !partApart(copies.front().path, true).isEmpty()) {
            EXPECT_EQ(texts.size(), qsizetype(copies.size())) << copies.front().whole.toStdString();
        }
    }
    return seen;
}

// The group view's paths, every group open: see expectCopiesToldApart. The
// figures beside each path stand whole.
inline int expectOutlinePathsToldApart(CustomOutlineView& outline)
{
    outline.expandAll();
    QCoreApplication::processEvents();
    auto* cell = qobject_cast<CustomCell*>(outline.itemDelegate());
    if (!cell) {
        ADD_FAILURE() << "no cell";
        return 0;
    }
    using Outlet = CustomCell::Outlet;
    std::vector<std::vector<ShownPath>> groups;
    for (int g = 0; g < outline.model()->rowCount(); ++g) {
        const QModelIndex group = outline.model()->index(g, 0);
        groups.emplace_back();
        for (int f = 0; f < outline.model()->rowCount(group); ++f) {
            const QModelIndex file = outline.model()->index(f, 0, group);
            const QString path = file.data(CustomCell::roleOf(Outlet::lblFilePath)).toString();
            if (!file.data(CustomCell::isFileRecordRole).toBool() || path.isEmpty())
                continue;
            outline.scrollTo(file);
            QCoreApplication::processEvents();
            const QRect row = outline.visualRect(file);
            const QRect room = cell->outletRects(row, file)[std::size_t(Outlet::lblFilePath)];
            groups.back().push_back({ file, path, path, cell->shownText(row, file, Outlet::lblFilePath), room,
                tipAt(outline, room.center()) });
            for (const Outlet outlet : { Outlet::lblSize, Outlet::lblCretedDate, Outlet::lblModifiedDate, Outlet::lblExt }) {
                EXPECT_EQ(cell->shownText(row, file, outlet).toStdString(),
                    file.data(CustomCell::roleOf(outlet)).toString().toStdString());
            }
        }
    }
    return expectCopiesToldApart(groups, *cell, Outlet::lblFilePath, false);
}

// The list's folders: see expectCopiesToldApart.
inline int expectListFoldersToldApart(QTableView& list, int folderColumn)
{
    auto* cell = qobject_cast<CustomCell*>(list.itemDelegateForColumn(folderColumn));
    auto* rows = qobject_cast<QAbstractProxyModel*>(list.model());
    if (!cell || !rows) {
        ADD_FAILURE() << "no cell or rows";
        return 0;
    }
    using Outlet = CustomCell::Outlet;
    std::vector<std::vector<ShownPath>> groups;
    int lastGroup = -1;
    for (int row = 0; row < rows->rowCount(); ++row) {
        const QModelIndex index = rows->index(row, folderColumn);
        const int group = rows->mapToSource(index).parent().row();
        if (group != lastGroup)
            groups.emplace_back();
        lastGroup = group;
        list.scrollTo(index);
        QCoreApplication::processEvents();
        const QRect rect = list.visualRect(index);
        const QRect room = cell->outletRects(rect, index)[std::size_t(Outlet::lbltextField)];
        groups.back().push_back({ index, rows->index(row, 0).data(CustomCell::roleOf(Outlet::lblFilePath)).toString(),
            index.data(Qt::DisplayRole).toString(), cell->shownText(rect, index, Outlet::lbltextField), room,
            tipAt(list, room.center()) });
    }
    return expectCopiesToldApart(groups, *cell, Outlet::lbltextField, true);
}
