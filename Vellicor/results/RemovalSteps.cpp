#include "results/RemovalSteps.h"

#include "cleanup/AfterCleanSheets.h"
#include "cleanup/CleanupController.h"
#include "cleanup/ResultAreaViews.h"
#include "cleanup/TrashSheets.h"
#include "controls/IMGButton.h"
#include "controls/LinkButton.h"
#include "core/Localization.h"
#include "marking/ResultsState.h"
#include "platform/FileRemover.h"
#include "results/ResultsWidgets.h"

using namespace ResultsLook;

namespace {

// Six states from one image family: on, on-pressed, on-disabled from the first
// set, off, off-pressed, off-disabled from the second.
void setImageFamilies(IMGButton* button, const char* on, const char* off)
{
    const auto part
        = [](const char* family, const char* piece) { return QString::fromLatin1(family).arg(QLatin1String(piece)); };
    const QString onStart = part(on, "left"), onMiddle = part(on, "mid"), onEnd = part(on, "right");
    const QString offStart = part(off, "left"), offMiddle = part(off, "mid"), offEnd = part(off, "right");
    button->setButtonImages(onStart, onMiddle, onEnd, onStart, onMiddle, onEnd, onStart, onMiddle, onEnd, offStart,
        offMiddle, offEnd, offStart, offMiddle, offEnd, offStart, offMiddle, offEnd);
}

void styleBlueButton(IMGButton* button)
{
    const QString l = QStringLiteral("blue_btn_sm_left"), m = QStringLiteral("blue_btn_sm_mid"),
                  r = QStringLiteral("blue_btn_sm_right");
    const QString gl = QStringLiteral("back_btn_left"), gm = QStringLiteral("back_btn_mid"),
                  gr = QStringLiteral("back_btn_right");
    button->setButtonImages(l, m, r, l, m, r, gl, gm, gr, l, m, r, l, m, r, gl, gm, gr);
}

} // namespace

RemovalSteps::RemovalSteps(
    ResultsState& state, UserDefaults& defaults, std::shared_ptr<FileRemover> files, QWidget& screen)
    : state_(state)
    , screen_(screen)
{
    cleanup_ = std::make_unique<CleanupController>(state_, defaults, std::move(files), nullptr);
    trashSheets_ = std::make_unique<TrashSheets>(&screen_, *cleanup_);
    cleanup_->setScreen(trashSheets_.get());
    afterCleanSheets_ = std::make_unique<AfterCleanSheets>(&screen_);
    cleanup_->setAfterCleanScreen(afterCleanSheets_.get());
}

RemovalSteps::~RemovalSteps()
{
    // The rooms the hooks reach may be gone already; nothing the clean-up
    // says while it ends reaches them.
    cleanup_->disconnect(this);
}

void RemovalSteps::buildResultAreaViews()
{
    // What stands in for the list when no group is left: nothing found, or
    // everything removed by a clean-up.
    viewNoDuplicateFound_ = new NoDuplicatesView(&screen_);
    viewSucccess_ = new SuccessView(&screen_);
    for (QWidget* view : { static_cast<QWidget*>(viewNoDuplicateFound_), static_cast<QWidget*>(viewSucccess_) }) {
        view->setAutoFillBackground(true);
        QPalette palette = view->palette();
        palette.setColor(QPalette::Window, screenColor);
        view->setPalette(palette);
        view->hide();
    }
    viewNoDuplicateFound_->setObjectName(name("viewNoDuplicateFound"));
    viewSucccess_->setObjectName(name("viewSucccess"));
}

void RemovalSteps::buildDeleteLink(QWidget* header)
{
    // The header's own way to remove the marked files, beside what they free.
    btnDeleteLink_ = new LinkButton(header);
    btnDeleteLink_->setObjectName(name("btnDeleteLink"));
}

void RemovalSteps::buildTrashButton(QWidget* footer)
{
    btnTrash_ = new IMGButton(footer);
    btnTrash_->setObjectName(name("btnTrash"));
    styleBlueButton(btnTrash_);
    btnTrash_->setFontSizeForButton(14);
    btnTrash_->setMakeBoldFont(true);
    btnTrash_->setColorOnState(Qt::white);
    btnTrash_->setColorOffState(Qt::white);
}

void RemovalSteps::connectCleanup()
{
    connect(btnTrash_, &QAbstractButton::clicked, this, [this] { hooks_.removeMarked(); });
    connect(btnDeleteLink_, &QAbstractButton::clicked, this, [this] { hooks_.removeMarked(); });
    connect(cleanup_.get(), &CleanupController::trashButtonStateChanged, this,
        [this](int state) { btnTrash_->setState(state); });
    connect(cleanup_.get(), &CleanupController::removalStarting, this, [this] {
        if (hooks_.removalStarting)
            hooks_.removalStarting();
    });
    connect(cleanup_.get(), &CleanupController::removalFinished, this,
        [this](bool rowsTaken) { hooks_.removalFinished(rowsTaken); });
    connect(cleanup_.get(), &CleanupController::resultAreaChanged, this,
        [this](ResultArea area, const CategoryShares::Percentages& shares) { hooks_.resultAreaChanged(area, shares); });
    connect(cleanup_.get(), &CleanupController::backToHomeRequested, this, [this] { hooks_.back(); });
    connect(cleanup_.get(), &CleanupController::undoRunningChanged, this, [this](bool running) {
        // Nothing is removed or undone while an undo puts files back.
        undoRunning_ = running;
        updateTrashButton();
        hooks_.undoRunningChanged(running);
    });
    connect(cleanup_.get(), &CleanupController::undoListChanged, this, &RemovalSteps::tellUndoOffer);
}

void RemovalSteps::style()
{
    // Remove shows blue while files are marked and grey otherwise.
    setImageFamilies(btnTrash_, "blue_%1_btn", "grey_%1_btn");
    btnTrash_->setColorOnState(Qt::white);
    const QColor dimmed(204, 204, 204);
    btnTrash_->setColorOffStateDis(dimmed);
    btnTrash_->setColorOnStateDis(dimmed);
    btnTrash_->setMakeBoldFont(true);
    btnTrash_->setFontSizeForButton(18);
    btnTrash_->setMarginBottom(7);
    btnDeleteLink_->setTitle(localizedText("ID_DELETE_MARKED"), 14, true, QColor(23, 75, 238));
}

void RemovalSteps::tellUndoOffer()
{
    if (hooks_.undoOffered)
        hooks_.undoOffered(cleanup_->offersUndo());
}

void RemovalSteps::removeMarked()
{
    cleanup_->removeSelectedItems();
}

void RemovalSteps::closeQuestions()
{
    trashSheets_->closeTrashConfirmation();
    afterCleanSheets_->closeUndoConfirmation();
}

void RemovalSteps::resultSetLoaded()
{
    tellUndoOffer();
    categoryEmptiedByCleanup_ = false;
    viewNoDuplicateFound_->hide();
    viewSucccess_->hide();
}

bool RemovalSteps::showArea(ResultArea area, int top)
{
    viewNoDuplicateFound_->hide();
    if (area == ResultArea::allRemoved) {
        placeAreaViews(top);
        viewSucccess_->show();
        return false;
    }
    viewSucccess_->hide();
    categoryEmptiedByCleanup_ = area == ResultArea::emptyCategory;
    return true;
}

void RemovalSteps::showNothingFound(int top)
{
    viewSucccess_->hide();
    placeAreaViews(top);
    viewNoDuplicateFound_->show();
    viewNoDuplicateFound_->raise();
}

void RemovalSteps::placeAreaViews(int top)
{
    // Below the header and the toolbar, so that Back and the options (Undo)
    // stay within reach when nothing is left to show.
    for (QWidget* view : { static_cast<QWidget*>(viewNoDuplicateFound_), static_cast<QWidget*>(viewSucccess_) }) {
        view->setGeometry(0, top, screen_.width(), std::max(0, screen_.height() - top));
        view->raise();
    }
}

void RemovalSteps::updateTrashButton()
{
    btnTrash_->setEnabled(hooks_.isToolbarEnabled() && !undoRunning_ && state_.countMarked() > 0);
}

void RemovalSteps::showMarked(bool trashEnabled)
{
    btnTrash_->setState(trashEnabled ? 1 : 0);
    updateTrashButton();
}

void RemovalSteps::setToolbarEnabled(bool enable)
{
    updateTrashButton();
    btnDeleteLink_->setEnabled(enable);
}
