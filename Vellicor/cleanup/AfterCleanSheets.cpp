#include "cleanup/AfterCleanSheets.h"

#include "cleanup/SheetParts.h"
#include "controls/ButtonStyles.h"
#include "controls/GradientBox.h"
#include "controls/IMGButton.h"
#include "controls/LinkButton.h"
#include "controls/RAZButton.h"
#include "controls/WindowHelpers.h"
#include "core/Localization.h"

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace {

constexpr int margin = 24;
constexpr int innerWidth = sheetWidth - 2 * margin;

QPlainTextEdit* makeList(QWidget* parent)
{
    auto* list = new QPlainTextEdit(parent);
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setStyleSheet(QStringLiteral("QPlainTextEdit { background: rgb(28, 28, 28); color: rgb(208, 210, 213);"
                                       " border: 1px solid rgb(70, 70, 70); font-size: 11px; }"));
    return list;
}

constexpr int figurePointSize = 24;

QLabel* makeFigure(QWidget* parent, int column, int y)
{
    const int width = innerWidth / 3;
    QLabel* label = makeLabel(parent, QString(), QRect(margin + column * width, y, width, 36), figurePointSize);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    // A figure is one line: a long one takes a smaller size (setFigures).
    label->setWordWrap(false);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("color: white;"));
    return label;
}

// The figures whole on their one line each: at the figures' size when they
// fit, else all three at the largest size at which the longest fits
// ("1000.00 MB", a count of many digits), so that they stay alike.
void setFigures(const std::array<QLabel*, 3>& labels, const std::array<QString, 3>& values)
{
    std::vector<std::pair<QString, int>> texts;
    for (std::size_t i = 0; i < labels.size(); ++i)
        texts.emplace_back(values[i], labels[i]->contentsRect().width());
    const QFont font = fittingFont(labels[0]->font(), figurePointSize, 8, texts);
    for (std::size_t i = 0; i < labels.size(); ++i) {
        labels[i]->setFont(font);
        labels[i]->setText(values[i]);
    }
}

QLabel* makeCaption(QWidget* parent, const QString& value, int column, int y)
{
    const int width = innerWidth / 3;
    QLabel* label = makeLabel(parent, value, QRect(margin + column * width, y, width, 18), 11);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("color: rgb(150, 150, 150);"));
    return label;
}

} // namespace

AfterCleanSheets::AfterCleanSheets(QWidget* window)
    : window_(window)
{
    buildAfterCleanWindow();
    buildUndoConfirmation();
    buildActionCompleted();
}

AfterCleanSheets::~AfterCleanSheets()
{
    delete windowAfterClean_;
    delete windowUndoConfirmation_;
    delete windowActionCompleted_;
}

void AfterCleanSheets::open(CustomWindowNag* window)
{
    window->open();
    centerWindowOnWindow(window, window_);
}

void AfterCleanSheets::buildAfterCleanWindow()
{
    auto* window = new CustomWindowNag(window_);
    window->setWindowModality(Qt::WindowModal);
    windowAfterClean_ = window;
    boxMainAfterClean = makeSheetBox(window, "boxMainAfterClean", 400);
    makeHeader(boxMainAfterClean, lblTotalDupsCleaned, QString());
    lblFilesDeletedSubHeading = makeLabel(boxMainAfterClean,
        QStringLiteral("%1 %2")
            .arg(localizedText("ID_SELECTED_DUPLICATE_FILES_DELETED"), localizedText("ID_DELETE_SUCCESS_MSG"))
            .trimmed(),
        QRect(margin, 60, innerWidth, 36), 12);
    // The success line and what was kept say the same as the sub-heading and
    // more, so the sub-heading stays hidden.
    lblFilesDeletedSubHeading->hide();
    lblSelectedFileDeleted = makeLabel(boxMainAfterClean, localizedText("ID_SELECTED_DUPLICATES_DELETED_SUCCESSFULLY"),
        QRect(margin, 56, innerWidth, 22), 13);
    QFont bold = lblSelectedFileDeleted->font();
    bold.setBold(true);
    lblSelectedFileDeleted->setFont(bold);
    lblSelectedFileDeleted->setObjectName(QStringLiteral("lblSelectedFileDeleted"));
    lblSelectedFileDeletedInfo = makeLabel(
        boxMainAfterClean, localizedText("ID_ONE_UNIQUE_FILE_IS_RETAINED"), QRect(margin, 78, innerWidth, 20), 12);
    lblSelectedFileDeletedInfo->setObjectName(QStringLiteral("lblSelectedFileDeletedInfo"));
    lblDupCleaned = makeFigure(boxMainAfterClean, 0, 104);
    lblDupSizeCleaned = makeFigure(boxMainAfterClean, 1, 104);
    lblUniqueFilesRetain = makeFigure(boxMainAfterClean, 2, 104);
    lblDuplicatesRemoved = makeCaption(boxMainAfterClean, QString(), 0, 142);
    lblSpaceRemoved = makeCaption(boxMainAfterClean, localizedText("ID_SPACE_REMOVED"), 1, 142);
    lblUniqueFilesRetained = makeCaption(boxMainAfterClean, QString(), 2, 142);
    // Below the captions with room to spare: some languages raise it.
    lblInCaseMistake = makeLabel(boxMainAfterClean, QString(), QRect(margin, 180, innerWidth, 36), 12);
    lblDupCleanedLibrary = makeLabel(boxMainAfterClean, QString(), QRect(margin, 0, innerWidth, 20), 12);
    lblDuplicatesRemoved->setObjectName(QStringLiteral("lblDuplicatesRemoved"));
    lblSpaceRemoved->setObjectName(QStringLiteral("lblSpaceRemoved"));
    lblUniqueFilesRetained->setObjectName(QStringLiteral("lblUniqueFilesRetained"));
    lblInCaseMistake->setObjectName(QStringLiteral("lblInCaseMistake"));
    lblDupCleanedLibrary->setObjectName(QStringLiteral("lblDupCleanedLibrary"));

    boxMiddleAfterClean = new QFrame(boxMainAfterClean);
    boxMiddleAfterClean->setStyleSheet(QStringLiteral("QFrame { background: rgb(48, 48, 48); border: none; }"));
    lblTrashInfoAfterClean = makeLabel(boxMiddleAfterClean, QString(), QRect(10, 8, innerWidth - 20, 84), 11);

    lblNotRemoved = makeLabel(boxMainAfterClean, QString(), QRect(margin, 0, innerWidth, 20), 12);
    lblNotRemoved->setStyleSheet(QStringLiteral("color: rgb(240, 180, 80);"));
    txtNotRemoved = makeList(boxMainAfterClean);

    // Back leaves the results for the home screen; OK stays with them.
    btnBackToTrash = new LinkButton(boxMainAfterClean);
    btnBackToTrash->setObjectName(QStringLiteral("btnBackToTrash"));
    btnBackToTrash->setTitle(localizedText("ID_BACK"), 14, false, QColor(Qt::white), Qt::AlignRight);
    btnOkTrash
        = makeBlueButton(boxMainAfterClean, localizedText("ID_OK"), QRect(sheetWidth - margin - 110, 0, 110, 36));

    QObject::connect(btnOkTrash, &QAbstractButton::clicked, window, [this] { closeAfterClean(false); });
    QObject::connect(btnBackToTrash, &QAbstractButton::clicked, window, [this] { closeAfterClean(true); });
    QObject::connect(window, &QDialog::rejected, window, [this] { closeAfterClean(false); });
}

void AfterCleanSheets::layoutAfterClean()
{
    int y = 222;
    const auto place = [&y](QWidget* widget, int height, bool shown) {
        widget->setVisible(shown);
        if (!shown)
            return;
        widget->setGeometry(margin, y, innerWidth, height);
        y += height + 8;
    };
    place(lblDupCleanedLibrary, 20, !lblDupCleanedLibrary->text().isEmpty());
    // The album's steps take as many lines as they need.
    const int infoHeight = std::max(84, lblTrashInfoAfterClean->heightForWidth(innerWidth - 20));
    lblTrashInfoAfterClean->resize(innerWidth - 20, infoHeight);
    place(boxMiddleAfterClean, infoHeight + 16, !lblTrashInfoAfterClean->text().isEmpty());
    const bool notRemoved = !lblNotRemoved->text().isEmpty();
    place(lblNotRemoved, 20, notRemoved);
    place(txtNotRemoved, 90, notRemoved);
    y += 8;
    btnBackToTrash->setGeometry(sheetWidth - margin - 110 - 16 - 150, y + 6, 150, 24);
    btnOkTrash->move(btnOkTrash->x(), y);
    const int height = y + 36 + 20;
    windowAfterClean_->setFixedSize(sheetWidth, height);
    boxMainAfterClean->resize(sheetWidth, height);
}

void AfterCleanSheets::showAfterCleanWindow(const AfterCleanFigures& figures, std::function<void(bool)> done)
{
    afterCleanDone_ = std::move(done);
    lblTotalDupsCleaned->setText(figures.totalDupsCleaned);
    // A run that removed nothing, or left some marked files in place, never
    // reads as a success.
    const bool success = figures.anyRemoved && figures.notRemoved.isEmpty();
    lblSelectedFileDeleted->setVisible(success);
    lblSelectedFileDeletedInfo->setVisible(figures.anyRemoved);
    // Up into the success line's room when that line is hidden; moved by the
    // change only, since the frame it starts from is the language's.
    const int raise = success ? 0 : 14;
    lblSelectedFileDeletedInfo->move(
        lblSelectedFileDeletedInfo->x(), lblSelectedFileDeletedInfo->y() + selectedFileDeletedInfoRaise_ - raise);
    selectedFileDeletedInfoRaise_ = raise;
    lblDuplicatesRemoved->setText(figures.duplicatesRemoved);
    lblSpaceRemoved->setText(figures.spaceCaption);
    setFigures({ lblDupCleaned, lblDupSizeCleaned, lblUniqueFilesRetain },
        { figures.dupCleaned, figures.dupSizeCleaned, figures.uniqueFilesRetain });
    lblUniqueFilesRetained->setText(figures.uniqueFilesRetained);
    lblInCaseMistake->setText(figures.inCaseMistake);
    lblDupCleanedLibrary->setText(figures.dupCleanedLibrary);
    lblTrashInfoAfterClean->setText(figures.trashInfoAfterClean);
    lblNotRemoved->setText(figures.notRemovedHeading);
    txtNotRemoved->setPlainText(figures.notRemoved.join(QLatin1Char('\n')));
    layoutAfterClean();
    open(windowAfterClean_);
}

void AfterCleanSheets::closeAfterClean(bool toHome)
{
    auto done = std::exchange(afterCleanDone_, {});
    if (windowAfterClean_->isVisible())
        windowAfterClean_->hide();
    if (done)
        done(toHome);
}

void AfterCleanSheets::buildUndoConfirmation()
{
    auto* window = new CustomWindowNag(window_);
    window->setWindowModality(Qt::WindowModal);
    windowUndoConfirmation_ = window;
    // Room above the action's line for its two-line form in some languages.
    QFrame* box = makeSheetBox(window, "boxUndoConfirmation", 230);
    QLabel* title = nullptr;
    makeHeader(box, title, localizedText("ID_UNDO"));
    lblAboutToUndo = makeLabel(box, localizedText("ID_ABOUT_TO_UNDO"), QRect(margin, 58, innerWidth, 22));
    lblActionToUndo = makeLabel(box, QString(), QRect(margin, 92, innerWidth, 22), 12);
    lblActionToUndo->setObjectName(QStringLiteral("lblActionToUndo"));
    lblDoYouWantToProceed
        = makeLabel(box, localizedText("ID_DO_YOU_WANT_TO_PROCEED"), QRect(margin, 124, innerWidth, 22));
    lblDoYouWantToProceed->setObjectName(QStringLiteral("lblDoYouWantToProceed"));
    btnNoForUndo = new RAZButton(box);
    btnNoForUndo->setText(localizedText("ID_NO"));
    applyResultButtonStyle(btnNoForUndo);
    btnNoForUndo->setGeometry(sheetWidth - margin - 110 - 12 - 110, 172, 110, 32);
    btnYesForUndo = makeBlueButton(box, localizedText("ID_YES"), QRect(sheetWidth - margin - 110, 170, 110, 36));
    QObject::connect(btnNoForUndo, &QAbstractButton::clicked, window, [this] { answerUndo(false); });
    QObject::connect(btnYesForUndo, &QAbstractButton::clicked, window, [this] { answerUndo(true); });
    QObject::connect(window, &QDialog::rejected, window, [this] { answerUndo(false); });
}

void AfterCleanSheets::showUndoConfirmation(const QString& countText, std::function<void(bool)> answer)
{
    undoAnswer_ = std::move(answer);
    lblActionToUndo->setText(countText);
    open(windowUndoConfirmation_);
}

void AfterCleanSheets::closeUndoConfirmation()
{
    if (windowUndoConfirmation_->isVisible())
        answerUndo(false);
}

void AfterCleanSheets::answerUndo(bool yes)
{
    auto answer = std::exchange(undoAnswer_, {});
    if (windowUndoConfirmation_->isVisible())
        windowUndoConfirmation_->hide();
    if (answer)
        answer(yes);
}

void AfterCleanSheets::buildActionCompleted()
{
    auto* window = new CustomWindowNag(window_);
    window->setWindowModality(Qt::WindowModal);
    windowActionCompleted_ = window;
    QFrame* box = makeSheetBox(window, "boxActionCompleted", 160);
    QLabel* title = nullptr;
    makeHeader(box, title, localizedText("ID_UNDO"));
    lblActionCompleted = makeLabel(box, QString(), QRect(margin, 64, innerWidth, 40));
    txtActionDetails = makeList(box);
    txtActionDetails->setGeometry(margin, 110, innerWidth, 90);
    btnOkActionCompleted = makeBlueButton(box, localizedText("ID_OK"), QRect(sheetWidth - margin - 110, 0, 110, 36));
    QObject::connect(btnOkActionCompleted, &QAbstractButton::clicked, window, &QWidget::hide);
}

void AfterCleanSheets::showActionCompleted(const QString& message, const QStringList& details)
{
    lblActionCompleted->setText(message);
    txtActionDetails->setPlainText(details.join(QLatin1Char('\n')));
    txtActionDetails->setVisible(!details.isEmpty());
    const int buttonsTop = details.isEmpty() ? 110 : 210;
    btnOkActionCompleted->move(btnOkActionCompleted->x(), buttonsTop);
    const int height = buttonsTop + 36 + 18;
    windowActionCompleted_->setFixedSize(sheetWidth, height);
    windowActionCompleted_->findChild<QFrame*>(QStringLiteral("boxActionCompleted"))->resize(sheetWidth, height);
    open(windowActionCompleted_);
}
