#include "home/AddLocationsPanel.h"

#include "base/AlertPresenter.h"
#include "controls/ApplicationFont.h"
#include "controls/ButtonKeys.h"
#include "controls/DragDropBox.h"
#include "controls/FolderChooser.h"
#include "controls/RAZButton.h"
#include "core/Localization.h"
#include "core/TextFormat.h"
#include "home/HomeLook.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

namespace {

// A box the user clicks as a whole (the Exclude and Protect shortcuts). Tab
// reaches it, wearing the focus ring, and Space or Enter acts as a click.
class ClickBox : public QFrame {
public:
    ClickBox(std::function<void()> action, QWidget* parent)
        : QFrame(parent)
        , action_(std::move(action))
    {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && action_)
            action_();
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        if ((isCheckKey(event) && !event->isAutoRepeat()) || isEnterKey(event)) {
            event->accept();
            if (action_)
                action_();
            return;
        }
        QFrame::keyPressEvent(event);
    }

    void paintEvent(QPaintEvent* event) override
    {
        QFrame::paintEvent(event);
        QPainter painter(this);
        drawFocusRingIfFocused(painter, this, 6);
    }

    void focusInEvent(QFocusEvent* event) override
    {
        QFrame::focusInEvent(event);
        update();
    }

    void focusOutEvent(QFocusEvent* event) override
    {
        QFrame::focusOutEvent(event);
        update();
    }

private:
    std::function<void()> action_;
};

bool addsThroughPanel(ScanSource source)
{
    return source == ScanSource::thisComputer || source == ScanSource::lightroomCatalog;
}

} // namespace

DialogFolderChooser::DialogFolderChooser(QWidget* parent)
    : parent_(parent)
{
}

void DialogFolderChooser::chooseFolders(const Options& options, std::function<void(const QStringList&)> done)
{
    // Folders only: a photo library is a folder here too.
    openFolderChooser(parent_, { localizedText(options.promptKey), localizedText(options.titleKey), QString(), true },
        std::move(done));
}

AddLocationsPanel::AddLocationsPanel(LocationLists& lists, QWidget* view)
    : adder_(lists)
    , chooser_(std::make_unique<DialogFolderChooser>(view))
{
    auto* right = makeHomeBox("boxRightDragDrop", view, HomeLook::panel, 6);
    auto* dropBox = new DragDropBox(right);
    dropBox->setObjectName(homeName("boxSelectFolder"));
    ImageLabel::make("imgDragDrop", dropBox);
    QLabel* here = makeHomeLabel("lblDragDropHere", dropBox, 17, true);
    here->setAlignment(Qt::AlignCenter);
    QLabel* info = makeHomeLabel("lblDragDropInfo", dropBox, 12);
    info->setAlignment(Qt::AlignCenter);
    info->setWordWrap(true);
    setLabelColor(info, HomeLook::caption);
    btnAddPath_ = new RAZButton(right);
    btnAddPath_->setObjectName(homeName("btnAddPath"));
    texts_ = { { here, "ID_DRAG_DROP_HERE" }, { info, "ID_DRAG_FOLDER_FROM_FINDER_TO_SCAN_FOR_DUPLICATES_FILES" } };
    const std::pair<const char*, const char*> shortcuts[]
        = { { "boxRightExclude", "lblExcludeFolderBtn" }, { "boxRightProtected", "lblProtectFolderBtn" } };
    for (const auto& [boxName, labelName] : shortcuts) {
        const bool exclude = QLatin1String(boxName) == QLatin1String("boxRightExclude");
        auto* shortcut = new ClickBox(
            [this, exclude] {
                if (exclude)
                    emit excludeTapped();
                else
                    emit protectTapped();
            },
            view);
        shortcut->setObjectName(homeName(boxName));
        shortcut->setStyleSheet(QStringLiteral("QFrame#%1 { background: %2; border-radius: 6px; }")
                                    .arg(homeName(boxName), HomeLook::panel.name()));
        (new ImageLabel(exclude ? QStringLiteral("exclude_icon") : QStringLiteral("protect_icon"), shortcut))
            ->setObjectName(homeName(exclude ? "imgExcludeFolderBtn" : "imgProtectFolderBtn"));
        texts_.emplace_back(
            makeHomeLabel(labelName, shortcut, 14), exclude ? "ID_EXCLUDE_FOLDER" : "ID_PROTECT_FOLDER");
    }
    connect(btnAddPath_, &QAbstractButton::clicked, this, &AddLocationsPanel::addTapped);
    adder_.setLaterOutcome([this](const AddOutcome& outcome) { applyOutcome(outcome); });
}

AddLocationsPanel::~AddLocationsPanel() = default;

void AddLocationsPanel::setFolderChooser(std::unique_ptr<FolderChooser> chooser)
{
    chooser_ = std::move(chooser);
}

void AddLocationsPanel::setCloudFolderPicker(std::function<void(HomeTab)> picker)
{
    cloudPicker_ = std::move(picker);
}

void AddLocationsPanel::localize()
{
    for (const auto& [label, key] : texts_)
        label->setText(localizedText(key));
}

void AddLocationsPanel::finishSetUp()
{
    btnAddPath_->setToolTip(localizedText("ID_ADD_FOLDER_PHOTOS_LIBRARY"));
    btnAddPath_->setText(localizedText("ID_ADD_FOLDER"));
    const auto rgb = [](int r, int g, int b) { return QColor(r, g, b); };
    btnAddPath_->setButtonInsideColor(rgb(47, 47, 47), rgb(190, 190, 190), rgb(255, 255, 255), rgb(23, 234, 234),
        rgb(23, 23, 23), rgb(169, 169, 169), 3, 13, false, false, 1);
    btnAddPath_->setFont(systemFontOfSize(13));
}

void AddLocationsPanel::addTo(HomeTab tab)
{
    // The cleaner stays the chosen source after it closed; it has no lists.
    if (selectedScanSource().load() == ScanSource::emptyFolderCleaner) {
        showAlerts({ { QStringLiteral("ID_NO_FOLDERS_ADDED_FOR_EMPTY_FOLDERS"),
            QStringLiteral("ID_CHOOSE_A_SOURCE_TO_ADD_FOLDERS") } });
        return;
    }
    if (addsThroughPanel(selectedScanSource().load())) {
        adder_.openPanel(tab, *chooser_, [guard = QPointer<AddLocationsPanel>(this)](const AddOutcome& outcome) {
            if (guard)
                guard->applyOutcome(outcome);
        });
        return;
    }
    if (cloudPicker_)
        cloudPicker_(tab);
}

void AddLocationsPanel::addDropped(const QStringList& paths, HomeTab tab)
{
    applyOutcome(adder_.handleFileDragDrop(paths, tab));
}

void AddLocationsPanel::applyOutcome(const AddOutcome& outcome)
{
    emit listsChanged();
    showAlerts(outcome.alerts);
}

void AddLocationsPanel::showAlerts(const std::vector<AlertKeys>& alerts)
{
    // One after the other: each alert opens when the one before is answered.
    if (alerts.empty())
        return;
    const AlertKeys first = alerts.front();
    std::vector<AlertKeys> rest(alerts.begin() + 1, alerts.end());
    QString informative;
    if (!first.informative.isEmpty()) {
        const QStringList& values = first.informativeValues;
        informative
            = formatText(localizedText(first.informative), { values.value(0), values.value(1), values.value(2) });
    }
    if (first.more > 0)
        informative += QLatin1Char(' ') + formatText(localizedText(first.moreKey), { first.more });
    alertPresenter()->presentThen(
        AlertRequest { localizedText(first.message), informative, { localizedText("ID_OK") } },
        [guard = QPointer<AddLocationsPanel>(this), rest = std::move(rest)](int) {
            if (guard)
                guard->showAlerts(rest);
        });
}

void AddLocationsPanel::tabShown(int tag)
{
    if (selectedScanSource().load() == ScanSource::thisComputer)
        btnAddPath_->setToolTip(localizedText("ID_ADD_FOLDER"));
    if (tag == 1)
        btnAddPath_->setToolTip(localizedText("ID_ADD_FOLDER_PHOTOS_LIBRARY"));
}

void AddLocationsPanel::sourceChosen(ScanSource chosen, HomeTab tab)
{
    if (chosen == ScanSource::thisComputer)
        btnAddPath_->setToolTip(
            localizedText(tab == HomeTab::include ? "ID_ADD_FOLDER_PHOTOS_LIBRARY" : "ID_ADD_FOLDER"));
    else if (chosen == ScanSource::googleDrive)
        btnAddPath_->setToolTip(localizedText("ID_ADD_GOOGLE_DRIVE_FOLDER"));
}

void AddLocationsPanel::refresh()
{
    btnAddPath_->update();
}
