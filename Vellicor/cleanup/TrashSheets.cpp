#include "cleanup/TrashSheets.h"

#include "base/AlertPresenter.h"
#include "cleanup/SheetParts.h"
#include "controls/ButtonStyles.h"
#include "controls/CustomWindowNag.h"
#include "controls/GradientBox.h"
#include "controls/IMGButton.h"
#include "controls/RAZButton.h"
#include "controls/WindowHelpers.h"
#include "core/CommonFuncs.h"
#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "core/TextFormat.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QResizeEvent>
#include <QShortcut>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

TrashSheets::TrashSheets(QWidget* window, CleanupController& controller)
    : window_(window)
    , controller_(controller)
{
    buildConfirmationSheet();
    buildProgressSheet();
}

TrashSheets::~TrashSheets()
{
    delete windowTrashConfirmation_;
    delete windowTrash_;
}

void TrashSheets::buildConfirmationSheet()
{
    auto* window = new CustomWindowNag(window_);
    window->setWindowModality(Qt::WindowModal);
    windowTrashConfirmation_ = window;
    boxTrashConfirmation = makeSheetBox(window, "boxTrashConfirmation", 250);
    QLabel* heading = nullptr;
    boxDeleteHeader
        = makeHeader(boxTrashConfirmation, heading, localizedText("ID_ARE_YOU_SURE_WANT_TO_DELETE_ALL_MARKED_ITEMS"));
    lblAreYouSureToDeleteHeading = heading;
    lblAreYouSureToDeleteInfo
        = makeLabel(boxTrashConfirmation, localizedText("ID_ITS_STRONGLY_RECOMMENDED_REVIEW_ALL_ITEMS_BEFORE_CLEANING"),
            QRect(24, 66, sheetWidth - 48, 40));
    lblAreYouSureToDeleteInfo->setObjectName(QStringLiteral("lblAreYouSureToDeleteInfo"));
    lblNetworkDriveContent = makeLabel(boxTrashConfirmation,
        localizedText("ID_IF_DUPLICATE_FILE_LOCATED_ON_NETWORK_DRIVE"), QRect(24, 112, sheetWidth - 48, 40), 12);
    lblNetworkDriveContent->setObjectName(QStringLiteral("lblNetworkDriveContent"));
    lblNetworkDriveContent->setStyleSheet(QStringLiteral("color: rgb(240, 180, 80);"));

    // The check box stands in a strip of its own, so that a language's
    // placing of it counts from the text column rather than the sheet's edge.
    boxDontShowThisAgain_ = new QWidget(boxTrashConfirmation);
    boxDontShowThisAgain_->setGeometry(21, 100, sheetWidth - 42, 90);
    btnDontShowThisAgain = new QCheckBox(localizedText("ID_DONT_SHOW_MESSAGE_AGAIN"), boxDontShowThisAgain_);
    btnDontShowThisAgain->setObjectName(QStringLiteral("btnDontShowThisAgain"));
    btnDontShowThisAgain->setStyleSheet(QStringLiteral("QCheckBox { color: rgba(209, 210, 214, 204); }"));
    btnDontShowThisAgain->setGeometry(3, 68, sheetWidth - 48, 22);

    btnReview = new RAZButton(boxTrashConfirmation);
    btnReview->setObjectName(QStringLiteral("btnReview"));
    btnReview->setText(localizedText("ID_REVIEW"));
    applyResultButtonStyle(btnReview);
    btnReview->setGeometry(sheetWidth - 24 - 150 - 12 - 110, 202, 110, 32);
    btnTrashOnReview
        = makeBlueButton(boxTrashConfirmation, localizedText("ID_TRASH"), QRect(sheetWidth - 24 - 150, 200, 150, 36));
    btnTrashOnReview->setObjectName(QStringLiteral("btnTrashOnReview"));

    QObject::connect(btnReview, &QAbstractButton::clicked, window, [this] { answerConfirmation(false); });
    QObject::connect(btnTrashOnReview, &QAbstractButton::clicked, window, [this] { answerConfirmation(true); });
    // Escape closes the sheet as Review does.
    QObject::connect(window, &QDialog::rejected, window, [this] { answerConfirmation(false); });
}

void TrashSheets::buildProgressSheet()
{
    auto* window = new CustomWindowNag(window_);
    window->setWindowModality(Qt::WindowModal);
    windowTrash_ = window;
    boxTrash = makeSheetBox(window, "boxTrash", 240);
    boxTrashHeader = makeHeader(boxTrash, lblRemovingDuplicateFiles, localizedText("ID_REMOVING_DUPLICATE_FILES"));
    lblRemovingDuplicateFiles->setObjectName(QStringLiteral("lblRemovingDuplicateFiles"));
    lblDeletingDuplicatesInProcess
        = makeLabel(boxTrash, localizedText("ID_DELETING_DUPLICATES_IN_PROCESS"), QRect(24, 62, sheetWidth - 48, 22));

    progressTrashFiles = new QProgressBar(boxTrash);
    progressTrashFiles->setTextVisible(false);
    progressTrashFiles->setGeometry(24, 92, sheetWidth - 48, 10);
    progressTrashFiles->setStyleSheet(
        QStringLiteral("QProgressBar { background: rgb(60, 60, 60); border: none; border-radius: 5px; }"
                       "QProgressBar::chunk { background: rgb(55, 151, 250); border-radius: 5px; }"));

    // The count as it stands before the first file goes; the run rewrites it.
    lblFileCountTrash = makeLabel(boxTrash, filesDeletedCountText(0), QRect(24, 110, 200, 20), 12);
    lblFileCountTrash->setWordWrap(false);
    lblBytesCheckedTrash = makeLabel(boxTrash, QString(), QRect(224, 110, sheetWidth - 24 - 224, 20), 12);
    lblBytesCheckedTrash->setObjectName(QStringLiteral("lblBytesCheckedTrash"));
    lblBytesCheckedTrash->setWordWrap(false);
    lblBytesCheckedTrash->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblFilePathTrash = makeLabel(boxTrash, QString(), QRect(24, 132, sheetWidth - 48, 20), 11);
    lblFilePathTrash->setWordWrap(false);
    lblFilePathTrash->setStyleSheet(QStringLiteral("color: rgb(150, 150, 150);"));
    lblThisMayTakeTime
        = makeLabel(boxTrash, localizedText("ID_THIS_MAY_TAKE_SOME_TIME"), QRect(24, 160, sheetWidth - 48, 20), 12);

    btnStopTrashing = new RAZButton(boxTrash);
    btnStopTrashing->setText(localizedText("ID_CANCEL"));
    btnStopTrashing->setGeometry(sheetWidth - 24 - 110, 192, 110, 32);
    applyStopButtonStyle(btnStopTrashing);
    QObject::connect(btnStopTrashing, &QAbstractButton::clicked, window, [this] {
        btnStopTrashing->setEnabled(false);
        controller_.abortCleaning();
    });
    // The quit key reaches the program's quit road, which the sheet's
    // modality keeps from the main window's menu.
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), window);
    QObject::connect(quit, &QShortcut::activated, window, [this] { controller_.requestQuit(); });
    // Escape stops the run; the sheet stays until the run has ended, so the
    // results cannot change under the worker.
    QObject::connect(window, &QDialog::rejected, window, [this] {
        if (!controller_.isRemoving())
            return;
        btnStopTrashing->setEnabled(false);
        controller_.abortCleaning();
        windowTrash_->open();
    });
}

void TrashSheets::showTrashConfirmation(const TrashQuestion& question, std::function<void(bool, bool)> answer)
{
    confirmationAnswer_ = std::move(answer);
    QFont headingFont = lblAreYouSureToDeleteHeading->font();
    lblAreYouSureToDeleteHeading->setFont(
        fittingFont(headingFont, 15, 10, { { question.heading, lblAreYouSureToDeleteHeading->width() } }));
    lblAreYouSureToDeleteHeading->setText(question.heading);
    // The language's frame is laid out for the Trash title; another title
    // widens the button as it needs, its right edge kept.
    btnTrashOnReview->setText(question.proceed);
    const int baseWidth = btnTrashOnReview->width() - proceedWidening_;
    const int widening = question.proceed == localizedText("ID_TRASH")
        ? 0
        : std::max(0, btnTrashOnReview->sizeHint().width() - baseWidth);
    btnTrashOnReview->setGeometry(btnTrashOnReview->x() + proceedWidening_ - widening, btnTrashOnReview->y(),
        baseWidth + widening, btnTrashOnReview->height());
    btnReview->move(btnReview->x() + proceedWidening_ - widening, btnReview->y());
    proceedWidening_ = widening;
    // The line below the heading takes the lines it needs; what stands below
    // it moves down with it.
    lblAreYouSureToDeleteInfo->setText(question.info);
    const int baseInfoHeight = lblAreYouSureToDeleteInfo->height() - infoGrowth_;
    const int growth
        = std::max(0, lblAreYouSureToDeleteInfo->heightForWidth(lblAreYouSureToDeleteInfo->width()) - baseInfoHeight);
    const int infoTop = lblAreYouSureToDeleteInfo->y();
    lblAreYouSureToDeleteInfo->resize(lblAreYouSureToDeleteInfo->width(), baseInfoHeight + growth);
    // The note takes its room only when it shows; the controls below follow.
    lblNetworkDriveContent->setVisible(question.networkNote);
    // Moved by the change only: the frames they start from are the language's.
    const int shift = (question.networkNote ? 0 : 46) - growth;
    const int by = confirmationShift_ - shift;
    const int grownBy = growth - infoGrowth_;
    confirmationShift_ = shift;
    infoGrowth_ = growth;
    windowTrashConfirmation_->setFixedSize(sheetWidth, 250 - shift);
    boxTrashConfirmation->resize(sheetWidth, 250 - shift);
    for (QWidget* below : { static_cast<QWidget*>(boxDontShowThisAgain_), static_cast<QWidget*>(btnReview),
             static_cast<QWidget*>(btnTrashOnReview) })
        below->move(below->x(), below->y() + by);
    // A language may set the network note above the line or below it.
    if (lblNetworkDriveContent->y() > infoTop)
        lblNetworkDriveContent->move(lblNetworkDriveContent->x(), lblNetworkDriveContent->y() + grownBy);
    btnDontShowThisAgain->setChecked(false);
    windowTrashConfirmation_->open();
    centerWindowOnWindow(windowTrashConfirmation_, window_);
}

void TrashSheets::answerConfirmation(bool proceed)
{
    auto answer = std::exchange(confirmationAnswer_, {});
    const bool doNotShowAgain = btnDontShowThisAgain->isChecked();
    if (windowTrashConfirmation_->isVisible())
        windowTrashConfirmation_->hide();
    if (answer)
        answer(proceed, doNotShowAgain);
}

void TrashSheets::closeTrashConfirmation()
{
    if (windowTrashConfirmation_->isVisible())
        answerConfirmation(false);
}

void TrashSheets::showTrashProgress(int maximum)
{
    const int files = std::max(maximum, 1);
    barStepsPerFile_ = std::clamp(std::numeric_limits<int>::max() / files, 1, 1000);
    progressTrashFiles->setRange(0, files * barStepsPerFile_);
    updateTrashProgress(TrashProgressFigures {});
    btnStopTrashing->setEnabled(true);
    windowTrash_->open();
    centerWindowOnWindow(windowTrash_, window_);
}

void TrashSheets::showQuitRefused()
{
    if (std::exchange(*quitAlertOpen_, true))
        return;
    QWidget* over = windowTrash_ && windowTrash_->isVisible() ? windowTrash_.data() : nullptr;
    alertPresenter()->presentThen(
        AlertRequest { localizedText("ID_REMOVAL_IS_IN_PROGRESS_PLEASE_STOP_REMOVAL_BEFORE_EXIT_APP"), QString(),
            { localizedText("ID_OK") }, AlertStyle::warning, QString(), nullptr, over },
        [open = quitAlertOpen_](int) { *open = false; });
}

void TrashSheets::updateTrashProgress(const TrashProgressFigures& figures)
{
    lblFileCountTrash->setText(filesDeletedCountText(figures.removedBefore));
    lblBytesCheckedTrash->setText(figures.bytesTotal == 0
            ? QString()
            : formatText(localizedText("ID_BYTES_CHECKED_OF_TOTAL"),
                  { getSizeInUnits(static_cast<double>(figures.bytesDone)),
                      getSizeInUnits(static_cast<double>(figures.bytesTotal)) }));
    const QString path = printablePath(figures.path);
    lblFilePathTrash->setText(
        lblFilePathTrash->fontMetrics().elidedText(path, Qt::ElideMiddle, lblFilePathTrash->width()));
    lblFilePathTrash->setToolTip(path);
    const double steps = std::round(figures.filesDone * barStepsPerFile_);
    progressTrashFiles->setValue(static_cast<int>(std::clamp(steps, 0.0, double(progressTrashFiles->maximum()))));
}

void TrashSheets::closeTrashProgress()
{
    windowTrash_->hide();
}
