#include "home/CategorySwitches.h"

#include <algorithm>

using Category = GlobalObjects::FileCategory;

namespace {

Category categoryOfTag(int tag)
{
    switch (tag) {
    case 1:
        return Category::Doc;
    case 2:
        return Category::Pic;
    case 3:
        return Category::Video;
    case 4:
        return Category::Music;
    case 5:
        return Category::Archive;
    default:
        return Category::Others;
    }
}

} // namespace

int CategorySwitches::tagOfCategory(Category category)
{
    switch (category) {
    case Category::Doc:
        return 1;
    case Category::Pic:
        return 2;
    case Category::Video:
        return 3;
    case Category::Music:
        return 4;
    case Category::Archive:
        return 5;
    default:
        return 6;
    }
}

void CategorySwitches::btnFileFormatsTapped(int tag)
{
    bool& flag = scanCategoryFlags[static_cast<size_t>(categoryOfTag(tag))];
    flag = !flag;
    allFilesOn_ = std::all_of(scanCategoryFlags.begin(), scanCategoryFlags.end(), [](bool on) { return on; });
    customScanOn_ = !allFilesOn_;
}

void CategorySwitches::allFilesAndCustomScanOptsTapped(int tag)
{
    allFilesOn_ = tag == allFilesTag;
    customScanOn_ = tag == customScanTag;
    if (tag == allFilesTag)
        scanCategoryFlags.fill(true);
    else if (tag == customScanTag)
        scanCategoryFlags.fill(false);
}

bool CategorySwitches::categoryOn(Category category) const
{
    return scanCategoryFlags[static_cast<size_t>(category)];
}
