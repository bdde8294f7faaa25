// The Preferences window on a real X display whose window manager frames it
// with a title bar: an X server and a window manager are started for the
// test, which runs again in a process of its own on that display.
#include "base/UserDefaults.h"
#include "preferences/PreferencesKit.h"
#include "preferences/PreferencesWindowController.h"
#include "support/FramedDisplay.h"
#include "support/TempHome.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class PlainPane : public PreferencePane {
public:
    explicit PlainPane(const char* identifier)
        : identifier_(QString::fromLatin1(identifier))
    {
    }
    PaneIdentifier preferencePaneIdentifier() const override { return { identifier_ }; }
    QString preferencePaneTitle() const override { return identifier_; }
    QSize sizeHint() const override { return { 420, 260 }; }

private:
    QString identifier_;
};

std::vector<PreferencePane*> twoPanes()
{
    return { new PlainPane("general"), new PlainPane("scanhistory") };
}

} // namespace

TEST(PreferencesUnderAWindowManager, OpensWhereItWasClosedRunAfterRun)
{
    if (!onAFramedDisplay()) {
        runOnAFramedDisplay("PreferencesUnderAWindowManager.OpensWhereItWasClosedRunAfterRun");
        return;
    }
    const QString folder
        = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Vellicor");
    std::optional<QPoint> closedAt;
    // Each run a new store on the file and a new window, as a new start of
    // the program makes them; within a run, closed and opened again.
    for (int run = 0; run < 4; ++run) {
        UserDefaults defaults(folder);
        PreferencesWindowController controller(twoPanes(), Style::toolbarItems, false, true, defaults);
        for (int opening = 0; opening < 2; ++opening) {
            controller.showPreferencesWindow(std::nullopt);
            QWidget* window = controller.window();
            if (!closedAt) {
                ASSERT_TRUE(waitUntil([&] { return framed(window); })) << "the window manager never framed the window";
                QTest::qWait(500);
            } else {
                const bool there
                    = waitUntil([&] { return framed(window) && window->frameGeometry().topLeft() == *closedAt; }, 3000);
                EXPECT_TRUE(there) << "run " << run << ", opening " << opening << ": closed at (" << closedAt->x()
                                   << ", " << closedAt->y() << "), opened at (" << window->frameGeometry().x() << ", "
                                   << window->frameGeometry().y() << ")";
            }
            closedAt = window->frameGeometry().topLeft();
            window->close();
            ASSERT_TRUE(waitUntil([&] { return !window->isVisible(); }));
        }
        ASSERT_TRUE(defaults.synchronize());
    }
}
