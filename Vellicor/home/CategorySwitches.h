#pragma once

#include "core/GlobalObjects.h"

#include <array>

// The eight file-type switches under the path tables: All files and Custom
// scan, which act as two radio choices, and one on/off switch per category.
// They drive the app-wide scanCategoryFlags the scan reads. Display-free; the
// home screen copies the states into its buttons after each call.
class CategorySwitches {
public:
    // Tags as the buttons carry them.
    static constexpr int allFilesTag = 1;
    static constexpr int customScanTag = 2;
    // Category button tags: 1 documents, 2 pictures, 3 videos, 4 music,
    // 5 archives, any other the rest.
    static int tagOfCategory(GlobalObjects::FileCategory category);

    // A category switch was toggled.
    void btnFileFormatsTapped(int tag);
    // All files (every category on) or Custom scan (every category off).
    void allFilesAndCustomScanOptsTapped(int tag);

    bool allFilesOn() const { return allFilesOn_; }
    bool customScanOn() const { return customScanOn_; }
    bool categoryOn(GlobalObjects::FileCategory category) const;

private:
    bool allFilesOn_ = true;
    bool customScanOn_ = false;
};
