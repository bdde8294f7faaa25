#pragma once

#include "core/DuplicateGroup.h"
#include "core/FileInfoNode.h"
#include "results/PreviewWindow.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class PreviewPane;
class QFont;
class QLabel;
class QWidget;
class ResultsState;

// The right pane of the results screen: the chosen file's folder path, the
// preview pane (whose graph view holds the summary's pie), the one preview
// window, and which file was chosen last. GUI thread only.
class SelectionPane : public QObject {
public:
    SelectionPane(ResultsState& state, QWidget& screen);

    void build(QWidget* pane);

    // A view's selection: the pane shows file, or the graph view for none.
    void showFile(const FileInfoNodePtr& file);
    void showNoFile();
    // The file chosen last among those still selected, while it is still
    // shown where it was chosen; none otherwise.
    FileInfoNodePtr lastSelectedFileNode() const;
    // Opens the one preview window on file.
    void showPreviewWindow(const FileInfoNodePtr& file);
    PreviewWindow* previewWindow() const { return previewWindow_.data(); }
    void setPathFont(const QFont& font);

    PreviewPane& previewPane() { return *previewPane_; }
    QWidget* imgFolderPath() const { return imgFolderPath_; }
    QLabel* lblSelectedFilePath() const { return lblSelectedFilePath_; }

private:
    void rememberSelection(const FileInfoNodePtr& file);

    struct SelectedIndex {
        int section = -1;
        int item = -1;
        std::weak_ptr<FileInfoNode> file;
    };

    ResultsState& state_;
    QWidget& screen_;
    QLabel* lblSelectedFileHeading_ = nullptr;
    QLabel* lblSelectedFilePath_ = nullptr;
    PreviewPane* previewPane_ = nullptr;
    QWidget* imgFolderPath_ = nullptr;
    QPointer<PreviewWindow> previewWindow_;
    std::vector<SelectedIndex> currentSelectedIndexs_;
    // Counts the selections shown; the pane's deferred preview shows only
    // the newest one, never a file whose selection has since gone.
    quint64 previewGeneration_ = 0;
};
