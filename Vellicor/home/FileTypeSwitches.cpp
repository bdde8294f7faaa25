#include "home/FileTypeSwitches.h"

#include "controls/ApplicationFont.h"
#include "controls/ButtonKeys.h"
#include "controls/CustomPopUpButton.h"
#include "core/Localization.h"
#include "home/HomeLook.h"

#include <QPushButton>

namespace {

QPushButton* switchButton(const char* objectName, QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(homeName(objectName));
    button->setCheckable(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFont(systemFontOfSize(13));
    button->setStyleSheet(
        QStringLiteral(
            "QPushButton { background: #2f3134; border: 1px solid #4a4d52; border-radius: 15px; padding: 0 8px; }"
            "QPushButton:checked { background: #1f6fe5; border-color: #2f7ff2; }"
            "QPushButton:hover { border-color: #7a7e86; }")
        + focusRingStyleSheet(QStringLiteral(":checked")));
    return button;
}

} // namespace

FileTypeSwitches::FileTypeSwitches(QWidget* view)
{
    btnAllFilesSelected_ = switchButton("btnAllFilesSelected", view);
    btnCustomScanSelected_ = switchButton("btnCustomScanSelected", view);
    using C = GlobalObjects::FileCategory;
    const std::pair<C, const char*> categories[] = { { C::Doc, "btnDocumentsSelected" },
        { C::Pic, "btnPhotosSelected" }, { C::Music, "btnMusicSelected" }, { C::Video, "btnVideosSelected" },
        { C::Archive, "btnArchivesSelected" }, { C::Others, "btnOthersSelected" } };
    for (const auto& [category, objectName] : categories)
        categoryButtons_[int(category)] = switchButton(objectName, view);

    connect(
        btnAllFilesSelected_, &QAbstractButton::clicked, this, [this] { choiceTapped(CategorySwitches::allFilesTag); });
    connect(btnCustomScanSelected_, &QAbstractButton::clicked, this,
        [this] { choiceTapped(CategorySwitches::customScanTag); });
    for (int i = 0; i < fileCategoryCount; ++i) {
        const int tag = CategorySwitches::tagOfCategory(GlobalObjects::FileCategory(i));
        connect(categoryButtons_[i], &QAbstractButton::clicked, this, [this, tag] { categoryTapped(tag); });
    }
}

void FileTypeSwitches::localize()
{
    using C = GlobalObjects::FileCategory;
    const std::pair<QAbstractButton*, const char*> titles[]
        = { { btnAllFilesSelected_, "ID_ALL_FILES" }, { btnCustomScanSelected_, "ID_CUSTOM_SCAN" },
              { categoryButtons_[int(C::Doc)], "ID_DOCUMENTS" }, { categoryButtons_[int(C::Pic)], "ID_PHOTOS" },
              { categoryButtons_[int(C::Video)], "ID_VIDEOS" }, { categoryButtons_[int(C::Music)], "ID_MUSIC" },
              { categoryButtons_[int(C::Archive)], "ID_ARCHIVES" }, { categoryButtons_[int(C::Others)], "ID_OTHERS" } };
    for (const auto& [button, key] : titles) {
        button->setText(localizedText(key));
        setColoredTitle(button, localizedText(key), Qt::white);
    }
}

void FileTypeSwitches::categoryTapped(int tag)
{
    switches_.btnFileFormatsTapped(tag);
    choiceTapped(0);
    btnAllFilesSelected_->setChecked(switches_.allFilesOn());
    btnCustomScanSelected_->setChecked(switches_.customScanOn());
}

void FileTypeSwitches::choiceTapped(int tag)
{
    if (tag != 0)
        switches_.allFilesAndCustomScanOptsTapped(tag);
    btnAllFilesSelected_->setChecked(switches_.allFilesOn());
    btnCustomScanSelected_->setChecked(switches_.customScanOn());
    for (int i = 0; i < fileCategoryCount; ++i)
        categoryButtons_[i]->setChecked(switches_.categoryOn(GlobalObjects::FileCategory(i)));
}
