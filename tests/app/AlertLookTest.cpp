#include "app/AppComposition.h"
#include "app/WindowAlertPresenter.h"
#include "base/UserDefaults.h"
#include "controls/ApplicationFont.h"
#include "controls/DialogLook.h"
#include "controls/FolderChooser.h"
#include "controls/RAZButton.h"
#include "core/AppStartup.h"
#include "core/Localization.h"
#include "core/TextFormat.h"
#include "emptyfolders/EmptyFolderHandler.h"
#include "home/MainViewController.h"
#include "marking/AutoMarkSheetWindows.h"
#include "marking/AutoMarking.h"
#include "marking/ResultsState.h"
#include "marking/SelectAssistanceController.h"
#include "platform/FileRemover.h"
#include "preferences/AdvanceScanSettingVC.h"
#include "preferences/ExcludeViewController.h"
#include "results/ResultViewController.h"
#include "results/ResultsListProxy.h"
#include "results/ResultsModel.h"
#include "scan/ScanSources.h"
#include "support/ResultsRows.h"
#include "support/TempHome.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QListView>
#include <QMainWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

bool isDark(const QColor& colour)
{
    return colour.lightness() < 80;
}

bool isLight(const QColor& colour)
{
    return colour.lightness() > 160;
}

// The box shows the screens' look: dark face, light text, our icon for the
// style, the first button the default.
void expectOurLook(QMessageBox* box, AlertStyle style)
{
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(isDark(box->palette().color(QPalette::Window)));
    EXPECT_TRUE(isLight(box->palette().color(QPalette::WindowText)));
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    const QPixmap icon = box->iconPixmap();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.toImage(), alertIcon(style, 48, icon.devicePixelRatio()).toImage());
    const QImage face = box->grab().toImage();
    EXPECT_TRUE(isDark(face.pixelColor(face.width() - 4, 4)));
    EXPECT_EQ(box->defaultButton(), box->buttons().isEmpty() ? nullptr : box->buttons().constFirst());
}

TEST(AlertLook, EveryStyleOfAlertIsDarkWithItsOwnIcon)
{
    QMainWindow window;
    window.resize(600, 400);
    window.show();
    WindowAlertPresenter presenter(&window);
    for (const AlertStyle style : { AlertStyle::warning, AlertStyle::informational, AlertStyle::critical }) {
        int answer = -2;
        presenter.presentThen(
            AlertRequest { QStringLiteral("Vellicor"), QStringLiteral("1.0"), { QStringLiteral("OK") }, style },
            [&answer](int a) { answer = a; });
        QPointer<QMessageBox> box = window.findChild<QMessageBox*>();
        expectOurLook(box, style);
        if (!box)
            return;
        QTest::mouseClick(box->buttons().constFirst(), Qt::LeftButton);
        QCoreApplication::processEvents();
        EXPECT_EQ(answer, 0);
    }
    // Our three icons differ from one another.
    EXPECT_NE(alertIcon(AlertStyle::warning, 48, 1).toImage(), alertIcon(AlertStyle::critical, 48, 1).toImage());
    EXPECT_NE(alertIcon(AlertStyle::warning, 48, 1).toImage(), alertIcon(AlertStyle::informational, 48, 1).toImage());
}

// The alert of a second start comes before the program's look is set up, yet
// wears it: our icon, the dark face, the screens' font.
TEST(AlertLook, ASecondStartThatCannotReachTheFirstSaysSoInOurLook)
{
    const std::unique_ptr<QMessageBox> box = makeAlreadyRunningAlert();
    expectOurLook(box.get(), AlertStyle::informational);
    EXPECT_EQ(box->font().family(), systemFontOfSize(13).family());
    EXPECT_EQ(
        box->text(), formatText(localizedText(QStringLiteral("ID_ALREADY_RUNNING")), { QStringLiteral("Vellicor") }));
}

TEST(AlertLook, MarkingAWholeGroupByHandWarnsInTheScreensLook)
{
    TempHome home;
    UserDefaults defaults { home.path() + QStringLiteral("/settings") };
    startApplicationCore(defaults);
    QMainWindow window;
    window.resize(1100, 760);
    auto* screen = new ResultViewController(
        defaults, std::make_shared<ScanSources>(defaults), std::make_shared<FaultyFileRemover>());
    window.setCentralWidget(screen);
    screen->viewDidLoad();
    window.show();
    setAlertPresenter(std::make_shared<WindowAlertPresenter>(&window));

    screen->loadScanResults({ groupOfPaths({ "/data/a.txt", "/data/b.txt" }) }, 0, ScanSource::thisComputer);
    for (int row = 0; row < 2; ++row)
        clickCheckBox(*screen->tblDuplicates(), screen->listModel().index(row, ResultsModel::checkColumn));
    QPointer<QMessageBox> notice = window.findChild<QMessageBox*>();
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->text(), localizedText("ID_YOU_CANNOT_MARKS_ALL_FILES_IN_SAME_GROUP"));
    expectOurLook(notice, AlertStyle::warning);
    setAlertPresenter(nullptr);
    delete notice.data();
}

// A box with a short text, as About is, is still wide enough for its title in
// the title bar beside the window buttons; a long text still wraps.
TEST(AlertLook, AShortAlertIsWideEnoughForItsTitleAndALongOneWraps)
{
    QMainWindow window;
    window.resize(900, 700);
    window.show();
    WindowAlertPresenter presenter(&window);
    const QString title = QStringLiteral("Über Vellicor");
    presenter.presentThen(AlertRequest { QStringLiteral("Vellicor"), QStringLiteral("1.0"), { QStringLiteral("OK") },
                              AlertStyle::informational, title },
        {});
    QPointer<QMessageBox> box = window.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(box->windowTitle(), title);
    QFont bold = box->font();
    bold.setBold(true);
    const int windowButtons = 3 * 24 * 2;
    EXPECT_GE(box->width(), QFontMetrics(bold).horizontalAdvance(title) + windowButtons);
    delete box.data();

    presenter.presentThen(
        AlertRequest { QStringLiteral("Vellicor"), QStringLiteral("word ").repeated(200), { QStringLiteral("OK") } },
        {});
    box = window.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    QCoreApplication::processEvents();
    EXPECT_LT(box->width(), 700);
    delete box.data();
}

// However many lines an alert has to tell, it stays within the screen with
// its OK on it: the lines past what the screen holds give way to "…", the
// first ones stay.
TEST(AlertLook, AnAlertTallerThanTheScreenKeepsItsButtonOnTheScreen)
{
    QMainWindow window;
    window.resize(700, 500);
    window.show();
    WindowAlertPresenter presenter(&window);
    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines.append(QStringLiteral("Line %1 of what happened").arg(i));
    presenter.presentThen(AlertRequest { QStringLiteral("Many things happened."), lines.join(QLatin1Char('\n')),
                              { QStringLiteral("OK") } },
        {});
    QPointer<QMessageBox> box = window.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    QCoreApplication::processEvents();
    const QRect screen = box->screen()->availableGeometry();
    EXPECT_LE(box->frameGeometry().height(), screen.height());
    EXPECT_TRUE(screen.contains(box->frameGeometry()));
    QAbstractButton* ok = box->buttons().constFirst();
    EXPECT_TRUE(ok->isVisible());
    EXPECT_TRUE(screen.contains(QRect(ok->mapToGlobal(QPoint(0, 0)), ok->size())));
    const QStringList shown = box->informativeText().split(QLatin1Char('\n'));
    EXPECT_GT(shown.size(), 2);
    EXPECT_EQ(shown.constFirst(), lines.constFirst());
    EXPECT_EQ(shown.constLast(), QString(QChar(0x2026)));
    delete box.data();
}

// A dialog's face at its top corner, away from any control, and its fields.
void expectDarkFace(QWidget* dialog)
{
    EXPECT_TRUE(isLight(dialog->palette().color(QPalette::WindowText)));
    EXPECT_TRUE(isDark(dialog->palette().color(QPalette::Base)));
    const QImage face = dialog->grab().toImage();
    EXPECT_TRUE(isDark(face.pixelColor(face.width() - 2, 2)));
}

// The look's default button: the alerts' blue.
bool drawnBlue(QWidget* button)
{
    const QColor fill = button->grab().toImage().pixelColor(button->width() / 2, 4);
    return fill.blue() > 200 && fill.red() < 120;
}

QPushButton* chooserButton(QFileDialog* dialog, QDialogButtonBox::StandardButton which)
{
    return dialog->findChild<QDialogButtonBox*>()->button(which);
}

// The chooser a click opened: our own panel of folders only, window modal,
// in the dialogs' look, taking several folders only where asked to. Its
// Cancel closes it.
void expectOurChooserThenCancel(bool several)
{
    QPointer<QFileDialog> dialog;
    ASSERT_TRUE(QTest::qWaitFor([&dialog] {
        dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        return dialog != nullptr;
    }));
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    expectDarkFace(dialog);
    EXPECT_EQ(dialog->findChild<QListView*>(QStringLiteral("listView"))->selectionMode(),
        several ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    QTest::mouseClick(chooserButton(dialog, QDialogButtonBox::Cancel), Qt::LeftButton);
    EXPECT_TRUE(!dialog || !dialog->isVisible());
}

// Every place that asks for a folder opens the one chooser: the home
// screen's Add, the excluded-folders pane, the empty-folder cleaner's Browse
// and the selection assistant's protected folders.
TEST(AlertLook, EveryFolderChooserIsOurDarkPanelOfFolders)
{
    TempHome home;
    UserDefaults defaults { home.configHome() };
    startApplicationCore(defaults);
    ScanSources sources(defaults);
    QMainWindow window;
    auto* screen = new MainViewController(defaults, sources);
    window.setCentralWidget(screen);
    screen->viewDidLoad();
    window.show();
    screen->findChild<QAbstractButton*>(QStringLiteral("btnAddPath"))->click();
    expectOurChooserThenCancel(true);

    ExcludeViewController pane(sources);
    pane.show();
    QTest::mouseClick(pane.btnAdd, Qt::LeftButton);
    expectOurChooserThenCancel(true);

    EmptyFolderHandler cleaner;
    cleaner.window()->show();
    cleaner.btnBrowse->click();
    expectOurChooserThenCancel(false);
    cleaner.window()->hide();

    ResultsState state(std::shared_ptr<ScanSources>(&sources, [](ScanSources*) {}));
    AutoMarkSheetWindows sheets(&window);
    AutoMarking marking(state, defaults, sheets);
    SelectAssistanceController assistant(state, sources, defaults, marking, &window);
    assistant.openSheet();
    assistant.btnBrowsePath->click();
    expectOurChooserThenCancel(false);
}

// The folders picked come back as chosen, a cancel brings none, and nothing
// comes once the asker is gone. A long prompt on the default button, which
// the look draws bold, still fits.
TEST(AlertLook, TheFolderChooserReturnsWhatWasPicked)
{
    QTemporaryDir folder;
    for (const char* name : { "Alpha", "Beta", "Gamma" })
        ASSERT_TRUE(QDir(folder.path()).mkdir(QLatin1String(name)));
    QWidget owner;
    owner.show();
    std::optional<QStringList> answer;
    auto remember = [&answer](const QStringList& chosen) { answer = chosen; };
    const QString prompt = QStringLiteral("Add Folders to the Exclusion List");
    QPointer<QFileDialog> dialog = openFolderChooser(&owner, { prompt, QString(), folder.path(), true }, remember);
    QPushButton* accept = chooserButton(dialog, QDialogButtonBox::Open);
    QFont bold = accept->font();
    bold.setWeight(QFont::DemiBold);
    EXPECT_GE(accept->width(), QFontMetrics(bold).horizontalAdvance(prompt) + 2 * 16);

    auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
    auto* model = dialog->findChild<QFileSystemModel*>();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(model->index(folder.path())) == 3; }));
    dialog->setViewMode(QFileDialog::List);
    auto rowOf = [&](const char* name) {
        return list->visualRect(model->index(folder.filePath(QLatin1String(name)))).center();
    };
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowOf("Alpha"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, rowOf("Gamma"));
    QTest::mouseClick(accept, Qt::LeftButton);
    ASSERT_TRUE(answer.has_value());
    answer->sort();
    EXPECT_EQ(
        *answer, QStringList({ folder.filePath(QStringLiteral("Alpha")), folder.filePath(QStringLiteral("Gamma")) }));

    answer.reset();
    dialog = openFolderChooser(&owner, { QString(), QString(), folder.path(), false }, remember);
    QTest::mouseClick(chooserButton(dialog, QDialogButtonBox::Cancel), Qt::LeftButton);
    EXPECT_EQ(answer, QStringList());

    answer.reset();
    auto* asker = new QObject;
    dialog = openFolderChooser(&owner, { QString(), QString(), folder.path(), false }, remember, asker);
    delete asker;
    QTest::mouseClick(chooserButton(dialog, QDialogButtonBox::Cancel), Qt::LeftButton);
    EXPECT_FALSE(answer.has_value());
}

// The style's own message-box icons, which boxes Qt builds by itself (the
// chooser's question before it deletes a folder) show, are ours, sharp at
// any scale.
TEST(AlertLook, TheStylesMessageBoxIconsAreOurs)
{
    installApplicationStyle();
    const std::pair<QStyle::StandardPixmap, AlertStyle> icons[]
        = { { QStyle::SP_MessageBoxWarning, AlertStyle::warning },
              { QStyle::SP_MessageBoxCritical, AlertStyle::critical },
              { QStyle::SP_MessageBoxInformation, AlertStyle::informational } };
    for (const auto& [standard, ours] : icons) {
        const QIcon icon = QApplication::style()->standardIcon(standard);
        for (const qreal ratio : { 1.0, 2.0 })
            EXPECT_EQ(icon.pixmap(QSize(32, 32), ratio).toImage(), alertIcon(ours, 32, ratio).toImage());
    }
    // Whatever the desktop's theme says, dialog buttons carry no icon.
    EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_DialogButtonBox_ButtonsHaveIcons), 0);
}

// The file-type editor, opened by the Add button of the advanced scan
// settings, wears the dialogs' look: dark face and field, the screens' font,
// our push buttons with Update the default.
TEST(AlertLook, TheFileTypeEditorOpensFromItsButtonInTheDialogsLook)
{
    TempHome home;
    UserDefaults defaults { home.configHome() };
    startApplicationCore(defaults);
    AdvanceScanSettingVC pane(defaults);
    pane.show();
    QTest::mouseClick(pane.btnAddExt, Qt::LeftButton);
    ASSERT_TRUE(pane.isEditorOpen());
    expectDarkFace(pane.windowManageExtensions);
    const QImage field = pane.txtViewExtensions->grab().toImage();
    EXPECT_TRUE(isDark(field.pixelColor(field.width() / 2, field.height() / 2)));
    EXPECT_EQ(pane.windowManageExtensions->font().family(), systemFontOfSize(13).family());
    EXPECT_TRUE(drawnBlue(pane.btnUpdateExtList));
    EXPECT_TRUE(isDark(pane.btnCancelExtList->grab().toImage().pixelColor(pane.btnCancelExtList->width() / 2, 4)));

    QTest::mouseClick(pane.btnCancelExtList, Qt::LeftButton);
    EXPECT_FALSE(pane.isEditorOpen());
}

} // namespace
