#include "results/ResultContextMenu.h"

#include "core/Localization.h"
#include "marking/ResultsState.h"
#include "platform/DesktopOpening.h"
#include "platform/FileSystemInfo.h"

#include <QAction>
#include <QMenu>

namespace {

QString pathOf(const FileInfoNodePtr& file)
{
    return file ? file->filePath.value_or(QString()) : QString();
}

} // namespace

ResultContextMenu::ResultContextMenu(ResultsState& state, QWidget* parent)
    : QObject(parent)
    , state_(state)
    , isImmutable_(isFileImmutable)
{
    menu_ = new QMenu(parent);
    menu_->setObjectName(QStringLiteral("menuResultContext"));
    menuItemMark_ = menu_->addAction(localizedText("ID_MARK"), this, &ResultContextMenu::markUnmarkImage);
    menuItemLockUnLock_ = menu_->addAction(localizedText("ID_LOCK"), this, &ResultContextMenu::lockUnLock);
    menu_->addSeparator();
    menuItemOpen_ = menu_->addAction(localizedText("ID_OPEN"), this, &ResultContextMenu::openFile);
    menuItemRevealInFinder_
        = menu_->addAction(localizedText("ID_REVEAL_IN_FINDER"), this, &ResultContextMenu::revealInFinder);
    menuItemQuickLook_ = menu_->addAction(localizedText("ID_QUICK_LOOK"), this, &ResultContextMenu::quickLook);
    menu_->addSeparator();
    menuItemMoveToTrash_ = menu_->addAction(
        localizedText("ID_REMOVE_FROM_DUPLICATE_LIST"), this, &ResultContextMenu::removeFromPhotoList);
    const std::pair<QAction*, const char*> outlets[]
        = { { menuItemMark_, "menuItemMark" }, { menuItemLockUnLock_, "menuItemLockUnLock" },
              { menuItemOpen_, "menuItemOpen" }, { menuItemRevealInFinder_, "menuItemRevealInFinder" },
              { menuItemQuickLook_, "menuItemQuickLook" }, { menuItemMoveToTrash_, "menuItemMoveToTrash" } };
    for (const auto& [item, outlet] : outlets)
        item->setObjectName(QString::fromLatin1(outlet));
    connect(menu_, &QMenu::aboutToShow, this,
        [this] { validateMenuItems(clickedFileSource_ ? clickedFileSource_() : nullptr); });
}

void ResultContextMenu::validateMenuItems(const FileInfoNodePtr& clicked)
{
    clicked_ = clicked;
    validation_ = validateContextMenu(clicked.get(), state_.resultSource(), isImmutable_);
    menuItemMark_->setText(localizedText(validation_.markTitleKey));
    menuItemMark_->setEnabled(validation_.markEnabled);
    menuItemLockUnLock_->setText(localizedText(validation_.lockTitleKey));
    menuItemLockUnLock_->setEnabled(validation_.lockEnabled);
    for (QAction* item : { menuItemOpen_, menuItemRevealInFinder_, menuItemQuickLook_ })
        item->setEnabled(validation_.localItemsEnabled);
    menuItemMoveToTrash_->setEnabled(validation_.removeEnabled);
}

void ResultContextMenu::markUnmarkImage()
{
    if (clicked_ && validation_.markEnabled)
        ::markUnmarkImage(state_, clicked_, validation_.flagMarkUnMark);
}

void ResultContextMenu::lockUnLock()
{
    if (!clicked_ || !validation_.lockEnabled)
        return;
    ::lockUnLock(state_, clicked_, validation_.flagToLockUnLock);
    if (lockChanged_)
        lockChanged_(clicked_);
}

void ResultContextMenu::openFile()
{
    if (clicked_ && validation_.localItemsEnabled)
        openFileOrSay(pathOf(clicked_));
}

void ResultContextMenu::revealInFinder()
{
    if (clicked_ && validation_.localItemsEnabled)
        revealInFileManagerOrSay(pathOf(clicked_));
}

void ResultContextMenu::quickLook()
{
    if (clicked_ && validation_.localItemsEnabled && preview_)
        preview_(clicked_);
}

void ResultContextMenu::removeFromPhotoList()
{
    const bool nothingLeft = removeNodeFromResults(state_, clicked_);
    clicked_.reset();
    if (removedFromList_)
        removedFromList_(nothingLeft);
}
