#include "base/UserDefaults.h"
#include "controls/ButtonKeys.h"
#include "preferences/PreferencesKit.h"
#include "preferences/PreferencesTabViewController.h"
#include "preferences/PreferencesWindowController.h"
#include "support/TempHome.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolBar>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <tuple>

namespace {

class TestPane : public PreferencePane {
public:
    TestPane(const char* identifier, const char* title, QSize size = { 300, 200 })
        : identifier_(QString::fromLatin1(identifier))
        , title_(QString::fromLatin1(title))
        , size_(size)
    {
        button = new QPushButton(QStringLiteral("Press"), this);
    }
    PaneIdentifier preferencePaneIdentifier() const override { return { identifier_ }; }
    QString preferencePaneTitle() const override { return title_; }
    QSize sizeHint() const override { return size_; }
    QPushButton* button;

private:
    QString identifier_;
    QString title_;
    QSize size_;
};

std::vector<PreferencePane*> panes(int count)
{
    static const char* const ids[] = { "general", "advancescansetting", "searchoptions", "scanhistory" };
    static const char* const titles[] = { "General", "Advanced", "Search Options", "Scan History" };
    std::vector<PreferencePane*> list;
    for (int i = 0; i < count; ++i)
        list.push_back(new TestPane(ids[i], titles[i], QSize(300 + 40 * i, 200 + 30 * i)));
    return list;
}

struct WindowTest : ::testing::Test {
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
};

TEST_F(WindowTest, ToolbarAndTitleFollowThePaneCountAndStyle)
{
    struct Case {
        Style style;
        int count;
        bool hidesForSingle;
        bool toolbarVisible;
        bool titleVisible;
    };
    const Case cases[] = {
        { Style::toolbarItems, 1, true, false, true },
        { Style::toolbarItems, 1, false, true, true },
        { Style::toolbarItems, 4, true, true, true },
        { Style::segmentedControl, 1, false, true, true },
        { Style::segmentedControl, 2, true, true, false },
    };
    for (const Case& c : cases) {
        PreferencesWindowController controller(panes(c.count), c.style, false, c.hidesForSingle, defaults);
        controller.showPreferencesWindow(std::nullopt);
        EXPECT_EQ(controller.toolbar()->isVisible(), c.toolbarVisible) << c.count << " " << c.hidesForSingle;
        EXPECT_EQ(controller.isTitleVisible(), c.titleVisible) << c.count;
        const QString expected = !c.titleVisible ? QString()
            : c.count == 1                       ? applicationNameForTitle() + QStringLiteral(" ")
                + localizedPreferencesWord(LocalizationIdentifier::preferences)
                           : QStringLiteral("General");
        EXPECT_EQ(controller.window()->windowTitle(), expected);
    }
}

TEST_F(WindowTest, AnIdentifierSelectsItsPaneExactlyOrTheFirst)
{
    PreferencesWindowController controller(panes(4), Style::toolbarItems, false, true, defaults);
    const std::pair<std::optional<QString>, int> cases[] = {
        { QStringLiteral("scanhistory"), 3 },
        { QStringLiteral("searchoptions"), 2 },
        { std::nullopt, 2 },
        { QStringLiteral("ScanHistory"), 0 },
        { QStringLiteral("nothing"), 0 },
    };
    for (const auto& [identifier, index] : cases) {
        controller.showPreferencesWindow(identifier);
        EXPECT_EQ(controller.tabViewController()->activeTab(), index)
            << identifier.value_or(QStringLiteral("none")).toStdString();
        EXPECT_EQ(controller.window()->windowTitle(),
            controller.tabViewController()->preferencePanes().at(index)->preferencePaneTitle());
    }
    // The toolbar shows the same pane as selected.
    const QList<QAction*> items = controller.toolbar()->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_TRUE(items.at(0)->isChecked());
    items.at(2)->trigger();
    EXPECT_EQ(controller.tabViewController()->activeTab(), 2);
}

TEST_F(WindowTest, ASwitchKeepsTheTopEdgeAndFitsThePane)
{
    PreferencesWindowController controller(panes(4), Style::toolbarItems, false, true, defaults);
    controller.showPreferencesWindow(QStringLiteral("general"));
    const QPoint topLeft = controller.window()->pos();
    controller.tabViewController()->selectPane(3, false);
    EXPECT_EQ(controller.window()->pos(), topLeft);
    EXPECT_EQ(controller.window()->width(), 420);
    EXPECT_EQ(controller.window()->height() - controller.toolbar()->sizeHint().height(), 290);
}

TEST_F(WindowTest, TheSavedPositionWinsOverTheCentre)
{
    const QRect visible = QGuiApplication::primaryScreen()->availableGeometry();
    {
        PreferencesWindowController controller(panes(2), Style::toolbarItems, false, true, defaults);
        controller.showPreferencesWindow(std::nullopt);
        const QPoint centre = controller.window()->frameGeometry().center();
        EXPECT_LE((centre - visible.center()).manhattanLength(), 4);
    }
    defaults.setValue(QString::fromLatin1(PreferencesWindowController::frameAutosaveKey),
        QVariantList { visible.left() + 17, visible.top() + 23 });
    PreferencesWindowController controller(panes(2), Style::toolbarItems, false, true, defaults);
    controller.showPreferencesWindow(std::nullopt);
    EXPECT_EQ(controller.window()->geometry().topLeft(), visible.topLeft() + QPoint(17, 23));
}

TEST_F(WindowTest, APausedWindowDropsPressesButNotHovering)
{
    PreferencesWindowController controller(panes(1), Style::toolbarItems, false, true, defaults);
    controller.showPreferencesWindow(std::nullopt);
    auto* pane = static_cast<TestPane*>(controller.tabViewController()->preferencePanes().front());
    int clicks = 0;
    QObject::connect(pane->button, &QPushButton::clicked, [&clicks] { ++clicks; });
    auto click = [pane] {
        const QPointF at(5, 5);
        QMouseEvent press(QEvent::MouseButtonPress, at, pane->button->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
            Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, pane->button->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
            Qt::NoModifier);
        QApplication::sendEvent(pane->button, &press);
        QApplication::sendEvent(pane->button, &release);
    };
    controller.window()->setUserInteractionEnabled(false);
    click();
    EXPECT_EQ(clicks, 0);
    controller.window()->setUserInteractionEnabled(true);
    click();
    EXPECT_EQ(clicks, 1);
}

TEST(UserInputEvents, PressesAndKeysAreInputHoveringAndModifiersAreNot)
{
    const QPointF at(1, 1);
    QMouseEvent moved(QEvent::MouseMove, at, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QMouseEvent dragged(QEvent::MouseMove, at, at, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    QKeyEvent shift(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
    QEvent enter(QEvent::Enter);
    EXPECT_FALSE(isUserInputEvent(&moved));
    EXPECT_TRUE(isUserInputEvent(&dragged));
    EXPECT_TRUE(isUserInputEvent(&key));
    EXPECT_FALSE(isUserInputEvent(&shift));
    EXPECT_FALSE(isUserInputEvent(&enter));
}

TEST(PreferencesWord, FollowsTheFirstPreferredLanguage)
{
    const std::pair<QStringList, const char*> cases[] = {
        { { QStringLiteral("de-DE"), QStringLiteral("en") }, "Einstellungen" },
        { { QStringLiteral("zh-Hant-TW") }, "偏好設定" },
        { { QStringLiteral("zh-Hans") }, "偏好设置" },
        { { QStringLiteral("zh-HK") }, "偏好設定" },
        { { QStringLiteral("is-IS") }, "Preferences" },
    };
    for (const auto& [languages, word] : cases)
        EXPECT_EQ(localizedPreferencesWord(LocalizationIdentifier::preferences, languages), QString::fromUtf8(word))
            << languages.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(localizedPreferencesWord(LocalizationIdentifier::preferencesEllipsized, { QStringLiteral("ko") }),
        QString::fromUtf8("환경설정..."));
}

} // namespace

TEST_F(WindowTest, EscapeAndCloseKeysCloseTheWindowFromAnyControl)
{
    const std::vector<PreferencePane*> list = panes(2);
    auto* pane = static_cast<TestPane*>(list.front());
    PreferencesWindowController controller(list, Style::toolbarItems, false, true, defaults);
    for (const QKeyCombination keys : { QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::CTRL, Qt::Key_W) }) {
        controller.showPreferencesWindow(std::nullopt);
        QMainWindow* window = controller.window();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        pane->button->setFocus();
        QTest::keyClick(pane->button, keys.key(), keys.keyboardModifiers());
        EXPECT_FALSE(window->isVisible()) << keys.key();
    }
}

// Without a mouse: Tab reaches the pane bar as one stop, its arrows switch
// panes with the focus along; from anywhere in the window Ctrl+Tab and
// Ctrl+Page Down go to the next pane, Ctrl+Shift+Tab and Ctrl+Page Up to the
// one before, round the ends. In both looks of the bar.
TEST_F(WindowTest, PanesSwitchByTheBarsArrowsAndByCtrlTabAnywhere)
{
    for (const Style style : { Style::toolbarItems, Style::segmentedControl }) {
        SCOPED_TRACE(style == Style::toolbarItems ? "toolbar items" : "segmented");
        // Wide enough for the segments, which a narrow toolbar puts away.
        const std::vector<PreferencePane*> list { new TestPane("general", "General", { 600, 200 }),
            new TestPane("advancescansetting", "Advanced", { 600, 220 }),
            new TestPane("searchoptions", "Search Options", { 600, 240 }) };
        PreferencesWindowController controller(list, style, false, true, defaults);
        controller.showPreferencesWindow(std::nullopt);
        QMainWindow* window = controller.window();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }));
        const auto active = [&] { return controller.tabViewController()->activeTab().value_or(-1); };
        const auto focus = [] { return QApplication::focusWidget(); };
        const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            QTest::keyClick(focus() ? focus() : window, key, modifiers);
        };
        QPushButton* inPane = static_cast<TestPane*>(list.front())->button;
        inPane->setFocus(Qt::TabFocusReason);

        // The bar is one stop between the pane's last control and its first.
        press(Qt::Key_Tab);
        QWidget* bar = focus();
        ASSERT_TRUE(bar && controller.toolbar()->isAncestorOf(bar)) << (bar ? bar->metaObject()->className() : "none");
        const auto barTitle = [&] {
            auto* button = qobject_cast<QAbstractButton*>(focus());
            return button ? button->text() : QString();
        };
        EXPECT_EQ(barTitle(), QStringLiteral("General"));
        // It wears the focus ring, which the selected look alone lacks.
        const QImage ringed = bar->grab().toImage();
        const QColor edge = ringed.pixelColor(ringed.width() / 2, 1);
        const QColor ring = focusRingColour();
        EXPECT_LE(std::abs(edge.red() - ring.red()) + std::abs(edge.green() - ring.green())
                + std::abs(edge.blue() - ring.blue()),
            40)
            << edge.name().toStdString();
        press(Qt::Key_Tab);
        EXPECT_EQ(focus(), inPane);
        press(Qt::Key_Backtab, Qt::ShiftModifier);
        ASSERT_TRUE(controller.toolbar()->isAncestorOf(focus()));

        // The arrows go along the bar, the pane and the focus with them.
        const std::pair<Qt::Key, int> arrows[] = { { Qt::Key_Right, 1 }, { Qt::Key_Right, 2 }, { Qt::Key_Right, 2 },
            { Qt::Key_Left, 1 }, { Qt::Key_Up, 0 }, { Qt::Key_Down, 1 } };
        for (const auto& [key, pane] : arrows) {
            press(key);
            EXPECT_EQ(active(), pane) << key;
            EXPECT_EQ(barTitle(), list.at(std::size_t(pane))->preferencePaneTitle()) << key;
        }

        // Ctrl+Tab and its kin from a control of the pane shown.
        static_cast<TestPane*>(list.at(1))->button->setFocus(Qt::TabFocusReason);
        const std::tuple<Qt::Key, Qt::KeyboardModifiers, int> switches[] = {
            { Qt::Key_Tab, Qt::ControlModifier, 2 },
            { Qt::Key_Tab, Qt::ControlModifier, 0 },
            { Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 2 },
            { Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier, 1 },
            { Qt::Key_PageDown, Qt::ControlModifier, 2 },
            { Qt::Key_PageUp, Qt::ControlModifier, 1 },
            { Qt::Key_PageUp, Qt::ControlModifier, 0 },
            { Qt::Key_PageUp, Qt::ControlModifier, 2 },
        };
        for (const auto& [key, modifiers, pane] : switches) {
            press(key, modifiers);
            EXPECT_EQ(active(), pane) << key << " " << modifiers.toInt();
            // The focus goes on into the pane shown.
            EXPECT_EQ(focus(), static_cast<TestPane*>(list.at(std::size_t(pane)))->button) << key;
            EXPECT_TRUE(window->isVisible());
        }
        window->close();
    }
}
