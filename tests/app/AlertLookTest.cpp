#include "app/WindowAlertPresenter.h"
#include "base/UserDefaults.h"
#include "controls/DialogLook.h"
#include "core/AppStartup.h"
#include "core/Localization.h"
#include "platform/FileRemover.h"
#include "results/ResultViewController.h"
#include "results/ResultsModel.h"
#include "scan/ScanSources.h"
#include "support/ResultsRows.h"
#include "support/TempHome.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
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

} // namespace
