#pragma once
// Groups built from paths and a user's click on a row's check box, for the
// tests that drive the results screen.
#include "controls/CustomCell.h"
#include "controls/CustomTableView.h"
#include "core/DuplicateGroup.h"
#include "core/FileInfoNode.h"

#include <QFileInfo>
#include <QTest>
#include <gtest/gtest.h>

// One group of equal-sized files at the given paths.
inline DuplicateGroupPtr groupOfPaths(const QStringList& paths, quint64 size = 10)
{
    auto group = std::make_shared<DuplicateGroup>();
    for (const QString& path : paths) {
        auto file = std::make_shared<FileInfoNode>();
        file->fileName = QFileInfo(path).fileName();
        file->filePath = path;
        file->fileSize = size;
        addFileToGroup(group, file);
    }
    return group;
}

// Clicks the check box drawn in the row of index, as a user does.
inline void clickCheckBox(CustomTableView& table, const QModelIndex& index)
{
    auto* cell = qobject_cast<CustomCell*>(table.itemDelegateForIndex(index));
    ASSERT_NE(cell, nullptr);
    const QRect box = cell->outletRects(table.visualRect(index), index)[std::size_t(CustomCell::Outlet::btnCheckBox)];
    ASSERT_FALSE(box.isEmpty());
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, box.center());
}
