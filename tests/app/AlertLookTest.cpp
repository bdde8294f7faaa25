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
#include "results/ResultsModel.h"
#include "scan/ScanSources.h"
#include "support/RecordingAlerts.h"
#include "support/ResultsRows.h"
#include "support/TempHome.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QStyle>
#include <QTest>
#include <QTimer>
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
    EXPECT_EQ(box->text(), formatText(localizedText(QStringLiteral("ID_ALREADY_RUNNING")), { QStringLiteral("Vellicor") }));
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

    presenter.presentThen(AlertRequest { QStringLiteral("Vellicor"), QStringLiteral("word ").repeated(200), { QStringLiteral("OK") } },
        {});
    box = window.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    QCoreApplication::processEvents();
    EXPECT_LT(box->width(), 700);
    delete box.data();
}

// A dialog's face at its top corner, away from any control: the panel colour.
void expectDarkFace(QWidget* dialog)
{
    EXPECT_TRUE(isDark(dialog->palette().color(QPalette::Window)));
    EXPECT_TRUE(isLight(dialog->palette().color(QPalette::WindowText)));
    EXPECT_TRUE(isDark(dialog->palette().color(QPalette::Base)));
    const QImage face = dialog->grab().toImage();
    EXPECT_TRUE(isDark(face.pixelColor(face.width() - 2, 2)));
}

QFileDialog* shownChooser()
{
    QFileDialog* shown = nullptr;
    (void)QTest::qWaitFor([&shown] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QFileDialog*>(window); dialog && dialog->isVisible())
                shown = dialog;
        }
        return shown != nullptr;
    });
    return shown;
}

QPushButton* chooserButton(QFileDialog* dialog, QDialogButtonBox::StandardButton which)
{
    auto* box = dialog->findChild<QDialogButtonBox*>();
    return box ? box->button(which) : nullptr;
}

// The chooser as the caller opened it: our own panel of folders only, window
// modal, in the dialogs' look, taking several folders only where asked to.
// Cancelled by its button, it closes.
void expectOurChooserThenCancel(bool several)
{
    QPointer<QFileDialog> dialog = shownChooser();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    expectDarkFace(dialog);
    auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->selectionMode(),
        several ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    QPushButton* cancel = chooserButton(dialog, QDialogButtonBox::Cancel);
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
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
    auto alerts = std::make_shared<RecordingAlerts>();
    setAlertPresenter(alerts);
    ScanSources sources(defaults);
    QMainWindow window;
    window.resize(1000, 700);
    auto* screen = new MainViewController(defaults, sources);
    window.setCentralWidget(screen);
    screen->viewDidLoad();
    window.show();

    auto* add = screen->findChild<QAbstractButton*>(QStringLiteral("btnAddPath"));
    ASSERT_NE(add, nullptr);
    add->click();
    expectOurChooserThenCancel(true);

    auto* pane = new ExcludeViewController(sources);
    QWidget preferences;
    pane->setParent(&preferences);
    preferences.show();
    QTest::mouseClick(pane->btnAdd, Qt::LeftButton);
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
    EXPECT_TRUE(alerts->shown.empty());
    setAlertPresenter(nullptr);
}

// The folders picked in the chooser come back as chosen; a cancel brings
// none, and nothing at all comes once the asker is gone.
TEST(AlertLook, TheFolderChooserReturnsWhatWasPicked)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const char* name : { "Alpha", "Beta", "Gamma" })
        ASSERT_TRUE(QDir(folder.path()).mkdir(QLatin1String(name)));
    QWidget owner;
    owner.show();

    std::optional<QStringList> answer;
    auto remember = [&answer](const QStringList& chosen) { answer = chosen; };
    QPointer<QFileDialog> dialog
        = openFolderChooser(&owner, { QStringLiteral("Add"), QString(), folder.path(), true }, remember);
    EXPECT_EQ(chooserButton(dialog, QDialogButtonBox::Open)->text(), QStringLiteral("Add"));
    auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
    auto* model = dialog->findChild<QFileSystemModel*>();
    ASSERT_TRUE(list && model);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(model->index(folder.path())) == 3; }));
    dialog->setViewMode(QFileDialog::List);
    QCoreApplication::processEvents();
    auto rowOf = [&](const char* name) {
        return list->visualRect(model->index(folder.filePath(QLatin1String(name)))).center();
    };
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowOf("Alpha"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, rowOf("Gamma"));
    QTest::mouseClick(chooserButton(dialog, QDialogButtonBox::Open), Qt::LeftButton);
    ASSERT_TRUE(answer.has_value());
    QStringList chosen = *answer;
    chosen.sort();
    EXPECT_EQ(chosen, QStringList({ folder.filePath(QStringLiteral("Alpha")), folder.filePath(QStringLiteral("Gamma")) }));

    answer.reset();
    dialog = openFolderChooser(&owner, { QString(), QString(), folder.path(), false }, remember);
    QTest::mouseClick(chooserButton(dialog, QDialogButtonBox::Cancel), Qt::LeftButton);
    ASSERT_TRUE(answer.has_value());
    EXPECT_TRUE(answer->isEmpty());

    answer.reset();
    auto* asker = new QObject;
    dialog = openFolderChooser(&owner, { QString(), QString(), folder.path(), false }, remember, asker);
    delete asker;
    QTest::mouseClick(chooserButton(dialog, QDialogButtonBox::Cancel), Qt::LeftButton);
    EXPECT_FALSE(answer.has_value());
}

// A box that Qt builds by itself over one of our dialogs (the folder
// chooser's question before it deletes a folder) shows our icon, sharp at
// any scale, and our buttons.
TEST(AlertLook, ABoxQtBuildsItselfOverOurDialogShowsOurIconAndButtons)
{
    installApplicationStyle();
    const QIcon warning = QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    for (const qreal ratio : { 1.0, 2.0 }) {
        const QPixmap drawn = warning.pixmap(QSize(32, 32), ratio);
        EXPECT_EQ(drawn.toImage(), alertIcon(AlertStyle::warning, 32, ratio).toImage()) << ratio;
    }

    QWidget owner;
    owner.show();
    QPointer<QFileDialog> chooser = openFolderChooser(&owner, { QString(), QString(), QDir::tempPath(), false }, {});
    bool looked = false;
    QTimer::singleShot(0, [&looked] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        looked = true;
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->iconPixmap().toImage(),
            alertIcon(AlertStyle::warning, box->iconPixmap().width(), box->iconPixmap().devicePixelRatio()).toImage());
        QAbstractButton* yes = box->button(QMessageBox::Yes);
        ASSERT_NE(yes, nullptr);
        const QImage face = yes->grab().toImage();
        const QColor fill = face.pixelColor(face.width() / 2, 4);
        EXPECT_GT(fill.blue(), 200);
        EXPECT_LT(fill.red(), 120);
        QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
    });
    EXPECT_EQ(QMessageBox::warning(chooser, QStringLiteral("Delete"), QStringLiteral("Delete “Old”?"),
                  QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes),
        QMessageBox::No);
    EXPECT_TRUE(looked);
    delete chooser.data();
}

// The look draws a default button's title bold: the button is wide enough
// for it, whichever button holds the default.
TEST(AlertLook, EveryButtonHasRoomForItsTitleBold)
{
    QWidget owner;
    owner.show();
    const QString prompt = QStringLiteral("Add Folders to the Exclusion List");
    QPointer<QFileDialog> dialog = openFolderChooser(&owner, { prompt, QString(), QDir::tempPath(), false }, {});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        if (!button->isVisible())
            continue;
        QFont bold = button->font();
        bold.setWeight(QFont::DemiBold);
        EXPECT_GE(button->width(), QFontMetrics(bold).horizontalAdvance(button->text()) + 2 * 16)
            << button->text().toStdString();
    }
    delete dialog.data();
}

// The file-type editor of the advanced scan settings, opened by its Add
// button, wears the dialogs' look: dark face and field, the screens' font,
// our push buttons with Update the default.
TEST(AlertLook, TheFileTypeEditorOpensFromItsButtonInTheDialogsLook)
{
    TempHome home;
    UserDefaults defaults { home.configHome() };
    startApplicationCore(defaults);
    QWidget preferences;
    auto* pane = new AdvanceScanSettingVC(defaults);
    pane->setParent(&preferences);
    preferences.resize(pane->sizeHint());
    preferences.show();

    QTest::mouseClick(pane->btnAddExt, Qt::LeftButton);
    ASSERT_TRUE(pane->isEditorOpen());
    QDialog* editor = pane->windowManageExtensions;
    expectDarkFace(editor);
    EXPECT_TRUE(isDark(pane->txtViewExtensions->palette().color(QPalette::Base)));
    EXPECT_TRUE(isLight(pane->txtViewExtensions->palette().color(QPalette::Text)));
    const QImage field = pane->txtViewExtensions->grab().toImage();
    EXPECT_TRUE(isDark(field.pixelColor(field.width() / 2, field.height() / 2)));
    EXPECT_EQ(editor->font().family(), systemFontOfSize(13).family());
    EXPECT_EQ(editor->findChildren<RAZButton*>().size(), 0);
    EXPECT_TRUE(pane->btnUpdateExtList->isDefault());
    EXPECT_FALSE(pane->btnCancelExtList->isDefault());
    // The default button is drawn in the alerts' blue, the other one dark.
    const QImage update = pane->btnUpdateExtList->grab().toImage();
    const QColor blue = update.pixelColor(update.width() / 2, 4);
    EXPECT_GT(blue.blue(), 200);
    EXPECT_LT(blue.red(), 120);
    const QImage cancel = pane->btnCancelExtList->grab().toImage();
    EXPECT_TRUE(isDark(cancel.pixelColor(cancel.width() / 2, 4)));

    QTest::mouseClick(pane->btnCancelExtList, Qt::LeftButton);
    EXPECT_FALSE(pane->isEditorOpen());
}

} // namespace
