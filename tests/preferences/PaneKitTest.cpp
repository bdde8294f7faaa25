// The kit's pieces for panes written as one widget: the pane wrapper in the
// window, and the container of labelled rows.
#include "base/UserDefaults.h"
#include "preferences/Pane.h"
#include "preferences/PaneLayout.h"
#include "preferences/PreferencesTabViewController.h"
#include "preferences/PreferencesWindowController.h"
#include "support/TempHome.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QPixmap>
#include <QToolBar>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

class GeneralPane : public PreferencePane {
public:
    PaneIdentifier preferencePaneIdentifier() const override { return { QStringLiteral("general") }; }
    QString preferencePaneTitle() const override { return QStringLiteral("General"); }
};

TEST(PaneWrapper, ShowsItsTitleIconAndContentInTheWindowLikeAnyOtherPane)
{
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    QPixmap dot(32, 32);
    dot.fill(Qt::red);
    int made = 0;
    auto* content = new QLabel(QStringLiteral("Written as one widget"));
    content->setFixedSize(360, 240);
    Pane pane({ QStringLiteral("declared") }, QStringLiteral("Declared"), QIcon(dot), [&] { return ++made, content; });
    PreferencesWindowController controller(
        { new GeneralPane, std::move(pane).asPreferencePane().release() }, Style::toolbarItems, false, true, defaults);
    controller.showPreferencesWindow(QStringLiteral("declared"));

    EXPECT_EQ(made, 1);
    EXPECT_EQ(controller.window()->windowTitle(), QStringLiteral("Declared"));
    const QList<QAction*> items = controller.toolbar()->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items.at(1)->text(), QStringLiteral("Declared"));
    EXPECT_FALSE(items.at(1)->icon().isNull());
    EXPECT_TRUE(items.at(1)->isChecked());
    EXPECT_TRUE(content->isVisible() && controller.window()->isAncestorOf(content));
    EXPECT_EQ(controller.window()->height() - controller.toolbar()->sizeHint().height(), 240) << "fits the content";
    items.at(0)->trigger();
    EXPECT_FALSE(content->isVisible());
}

// Labels of three widths and a check box as a label: all end where the
// widest does, and each row's content starts beyond that column.
TEST(PreferencesContainer, EveryLabelEndsAtTheColumnOfTheWidest)
{
    PreferencesContainer body(400);
    QLabel* narrow = body.addSection(QStringLiteral("Size:"), { new QCheckBox(QStringLiteral("Any")) });
    QLabel* widest = body.addSection(QStringLiteral("Files modified before the day:"), { new QLabel("x") });
    auto* boxLabel = new QCheckBox(QStringLiteral("Limit"));
    auto* boxContent = new QLabel(QStringLiteral("the limit"));
    body.addSection(boxLabel, { boxContent });
    body.show();
    body.layout()->activate();

    EXPECT_EQ(widest->x(), 30);
    const int column = widest->geometry().right();
    EXPECT_EQ(narrow->geometry().right(), column);
    EXPECT_EQ(boxLabel->geometry().right(), column);
    EXPECT_LT(narrow->width(), widest->width());
    EXPECT_GT(boxContent->mapTo(&body, QPoint()).x(), column);
}

TEST(PreferencesContainer, ADividerFollowsASectionThatAsksForOneUnlessItIsTheLast)
{
    // The rows the dividers are drawn under.
    const auto dividersOf = [](const std::vector<bool>& asks) {
        PreferencesContainer body(300);
        std::vector<QLabel*> labels;
        for (const bool asked : asks)
            labels.push_back(body.addSection(QStringLiteral("Row"), { new QLabel(QStringLiteral("c")) }, asked));
        body.show();
        body.layout()->activate();
        std::vector<long> under;
        for (const QFrame* frame : body.findChildren<QFrame*>()) {
            if (frame->frameShape() == QFrame::HLine)
                under.push_back(std::ranges::count_if(labels, [frame](QLabel* l) { return l->y() < frame->y(); }) - 1);
        }
        std::ranges::sort(under);
        return under;
    };
    EXPECT_EQ(dividersOf({ true, false, true }), std::vector<long> { 0 });
    EXPECT_EQ(dividersOf({ false, true, true, false }), (std::vector<long> { 1, 2 }));
    EXPECT_TRUE(dividersOf({ true }).empty());
}

} // namespace
