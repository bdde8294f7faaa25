#include "results/SelectionPane.h"

#include "base/Log.h"
#include "core/FileUtilities.h"
#include "marking/ResultsState.h"
#include "results/PreviewPane.h"
#include "results/PreviewWindow.h"
#include "results/ResultsWidgets.h"

#include <QLabel>

using namespace ResultsLook;

SelectionPane::SelectionPane(ResultsState& state, QWidget& screen)
    : state_(state)
    , screen_(screen)
{
}

void SelectionPane::build(QWidget* pane)
{
    lblSelectedFileHeading_ = label("lblSelectedFileHeading", pane, 13, true, captionColor);
    lblSelectedFileHeading_->setGeometry(16, 16, 228, 20);
    lblSelectedFilePath_ = label("lblSelectedFilePath", pane, 13);
    lblSelectedFilePath_->setWordWrap(true);
    lblSelectedFilePath_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblSelectedFilePath_->setGeometry(38, 42, 206, 48);
    imgFolderPath_ = new ImageView(QStringLiteral("folder_small"), pane);
    imgFolderPath_->setObjectName(name("imgFolderPath"));
    imgFolderPath_->setGeometry(16, 42, 16, 16);
    imgFolderPath_->hide();
    previewPane_ = new PreviewPane(pane);
    previewPane_->setGeometry(0, 100, pane->width(), std::max(0, pane->height() - 100));
}

void SelectionPane::showFile(const FileInfoNodePtr& file)
{
    Log::print(QStringLiteral("updateOnDuplicateRowSelection"));
    imgFolderPath_->show();
    const QString path = file ? printablePath(file->filePath.value_or(QString())) : QString();
    lblSelectedFilePath_->setText(path);
    lblSelectedFilePath_->setToolTip(path);
    previewPane_->fillMetaInfoTable(file);
    rememberSelection(file);
    // The preview follows on a later turn, after the table has been drawn.
    const quint64 generation = ++previewGeneration_;
    std::weak_ptr<FileInfoNode> shown = file;
    QMetaObject::invokeMethod(
        this,
        [this, generation, shown] {
            if (generation == previewGeneration_)
                previewPane_->updatePreview(shown.lock());
        },
        Qt::QueuedConnection);
}

void SelectionPane::showNoFile()
{
    Log::print(QStringLiteral("updateOnDuplicateRowUnSelection"));
    ++previewGeneration_;
    lblSelectedFilePath_->clear();
    lblSelectedFilePath_->setToolTip(QString());
    imgFolderPath_->hide();
    previewPane_->showGraphView();
    currentSelectedIndexs_.clear();
}

void SelectionPane::rememberSelection(const FileInfoNodePtr& file)
{
    if (!file)
        return;
    const DuplicateGroupPtr group = file->parent.lock();
    const auto& groups = state_.arrGroups;
    const auto section = std::find(groups.begin(), groups.end(), group);
    if (!group || section == groups.end())
        return;
    const auto& shown = group->filterChildren;
    const auto item = std::find(shown.begin(), shown.end(), file);
    if (item == shown.end())
        return;
    std::erase_if(currentSelectedIndexs_, [&file](const SelectedIndex& index) { return index.file.lock() == file; });
    currentSelectedIndexs_.push_back({ int(section - groups.begin()), int(item - shown.begin()), file });
}

FileInfoNodePtr SelectionPane::lastSelectedFileNode() const
{
    if (currentSelectedIndexs_.empty())
        return nullptr;
    const SelectedIndex& last = currentSelectedIndexs_.back();
    const auto& groups = state_.arrGroups;
    if (last.section < 0 || last.section >= int(groups.size()))
        return nullptr;
    const auto& shown = groups[size_t(last.section)]->filterChildren;
    if (last.item < 0 || last.item >= int(shown.size()))
        return nullptr;
    // After the shown groups were rebuilt the same place may hold another
    // file; acting on that one would act on a file the user never chose.
    const FileInfoNodePtr file = shown[size_t(last.item)];
    return file == last.file.lock() ? file : nullptr;
}

void SelectionPane::showPreviewWindow(const FileInfoNodePtr& file)
{
    if (!previewWindow_)
        previewWindow_ = new PreviewWindow(&screen_);
    previewWindow_->showPreviewForNode(file, state_.resultSource());
}

void SelectionPane::setPathFont(const QFont& font)
{
    lblSelectedFilePath_->setFont(font);
}
