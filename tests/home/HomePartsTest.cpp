// The parts of the home screen on their own, each built into a bare view and
// driven through its controls as a user would.
#include "ListsFixture.h"
#include "controls/CustomTableView.h"
#include "controls/RAZButton.h"
#include "core/Localization.h"
#include "home/AddLocationsPanel.h"
#include "home/HomePathModel.h"
#include "home/LocationTabs.h"
#include "home/ResultsHandOff.h"
#include "home/ScanSourcePicker.h"
#include "home/ScanningView.h"
#include "support/PanelChooser.h"
#include "support/RecordingAlerts.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// Keeps each alert's answer until the test gives it.
struct HeldAlerts : AlertPresenter {
    QStringList shown;
    std::vector<std::function<void(int)>> waiting;
    int present(const AlertRequest& request) override
    {
        shown.append(request.messageText);
        return 0;
    }
    void presentThen(const AlertRequest& request, std::function<void(int)> answer) override
    {
        shown.append(request.messageText);
        waiting.push_back(std::move(answer));
    }
    void answerNext()
    {
        auto answer = std::move(waiting.front());
        waiting.erase(waiting.begin());
        answer(0);
    }
};

struct PartsFixture : ListsFixture {
    QWidget view;

    template <typename T> T* child(const char* name) { return view.findChild<T*>(QString::fromLatin1(name)); }
};

} // namespace

TEST_F(PartsFixture, TheTabsActOnlyOnTheListsThatOfferTheAct)
{
    LocationTabs tabs(lists, &view);
    tabs.finishSetUp();
    append(ScanSource::thisComputer, SourceList::protect, QStringLiteral("/pro"));
    clear(ScanSource::thisComputer, SourceList::exclude);
    append(ScanSource::thisComputer, SourceList::exclude, QStringLiteral("/ex"));

    // Protected folders have no check box; excluded ones no sub-folder switch.
    tabs.showTab(3);
    EXPECT_EQ(tabs.activeTab(), HomeTab::protect);
    EXPECT_EQ(tabs.setRowChecked(0, false), HomeTab::none);
    EXPECT_EQ(tabs.setAllRowStates(0), HomeTab::none);
    EXPECT_EQ(sources.protectList(ScanSource::thisComputer)[0]->state, 1);
    tabs.includeSubFolders(0, false);
    EXPECT_FALSE(sources.protectList(ScanSource::thisComputer)[0]->isIncludeSubFolders);

    tabs.showTab(2);
    tabs.includeSubFolders(0, false);
    EXPECT_TRUE(sources.excludeList(ScanSource::thisComputer)[0]->isIncludeSubFolders);
    // Uncheck All on the Exclude tab is stored at once.
    EXPECT_EQ(tabs.setAllRowStates(0), HomeTab::exclude);
    EXPECT_EQ(sources.excludeList(ScanSource::thisComputer)[0]->state, 0);
    const QVariantList stored = defaults.object(QLatin1String(SettingsKey::excludedFolders)).toList();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].toMap().value(QStringLiteral("state")).toInt(), 0);

    // A second removal of a row already gone changes nothing.
    EXPECT_TRUE(tabs.removeRow(0));
    EXPECT_FALSE(tabs.removeRow(0));
    EXPECT_FALSE(tabs.selectedRow());
}

TEST_F(PartsFixture, TheTabsTellTheirButtonsAndSpaceOnARow)
{
    LocationTabs tabs(lists, &view);
    tabs.finishSetUp();
    append(ScanSource::thisComputer, SourceList::scan, home.path());
    tabs.showTab(1);
    tabs.reload();
    QSignalSpy tapped(&tabs, &LocationTabs::tabTapped);
    QSignalSpy checked(&tabs, &LocationTabs::checkTapped);
    child<QAbstractButton>("btnExclude")->click();
    child<QAbstractButton>("btnSetting")->click();
    ASSERT_EQ(tapped.size(), 2);
    EXPECT_EQ(tapped[0][0].toInt(), 2);
    EXPECT_EQ(tapped[1][0].toInt(), 4);
    // The tab changes only when the screen answers.
    EXPECT_EQ(tabs.activeTab(), HomeTab::include);

    auto* table = child<CustomTableView>("tblInclude");
    table->setCurrentIndex(tabs.model().index(0, HomePathModel::pathColumn));
    QTest::keyClick(table, Qt::Key_Space);
    ASSERT_EQ(checked.size(), 1);
    EXPECT_EQ(checked[0][0].toInt(), 0);
    EXPECT_FALSE(checked[0][1].toBool()); // the checked row is to be unchecked
    EXPECT_EQ(tabs.selectedRow(), std::optional<int>(0));
}

TEST_F(PartsFixture, AddFollowsTheSourceAndItsToolTipTheTabAndSource)
{
    AddLocationsPanel adding(lists, &view);
    adding.finishSetUp();
    std::vector<HomeTab> picked;
    adding.setCloudFolderPicker([&picked](HomeTab tab) { picked.push_back(tab); });
    auto chooser = std::make_unique<PanelChooser>();
    PanelChooser& panel = *chooser;
    adding.setFolderChooser(std::move(chooser));
    auto* add = child<RAZButton>("btnAddPath");
    const auto tip = [add] { return add->toolTip(); };

    adding.tabShown(2);
    EXPECT_EQ(tip(), localizedText("ID_ADD_FOLDER"));
    adding.tabShown(1);
    EXPECT_EQ(tip(), localizedText("ID_ADD_FOLDER_PHOTOS_LIBRARY"));
    adding.sourceChosen(ScanSource::googleDrive, HomeTab::include);
    EXPECT_EQ(tip(), localizedText("ID_ADD_GOOGLE_DRIVE_FOLDER"));
    adding.sourceChosen(ScanSource::dropbox, HomeTab::include); // keeps the last tip
    EXPECT_EQ(tip(), localizedText("ID_ADD_GOOGLE_DRIVE_FOLDER"));
    adding.sourceChosen(ScanSource::thisComputer, HomeTab::protect);
    EXPECT_EQ(tip(), localizedText("ID_ADD_FOLDER"));

    // The catalog adds through the panel, a cloud source through its picker.
    selectedScanSource() = ScanSource::lightroomCatalog;
    adding.addTo(HomeTab::exclude);
    EXPECT_EQ(panel.opened.size(), 1u);
    selectedScanSource() = ScanSource::box;
    adding.addTo(HomeTab::protect);
    EXPECT_EQ(panel.opened.size(), 1u);
    EXPECT_EQ(picked, std::vector<HomeTab> { HomeTab::protect });

    QSignalSpy addTapped(&adding, &AddLocationsPanel::addTapped);
    QSignalSpy excludeTapped(&adding, &AddLocationsPanel::excludeTapped);
    QSignalSpy protectTapped(&adding, &AddLocationsPanel::protectTapped);
    add->click();
    auto* shortcut = child<QWidget>("boxRightProtected");
    shortcut->resize(200, 40);
    QTest::mouseClick(shortcut, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(addTapped.size(), 1);
    EXPECT_EQ(excludeTapped.size(), 0);
    EXPECT_EQ(protectTapped.size(), 1);
}

TEST_F(PartsFixture, AnAdditionsAlertsComeOneAfterTheOtherAndStopWithThePanel)
{
    auto alerts = std::make_shared<HeldAlerts>();
    setAlertPresenter(alerts);
    auto adding = std::make_unique<AddLocationsPanel>(lists, &view);
    auto chooser = std::make_unique<PanelChooser>();
    PanelChooser& panel = *chooser;
    adding->setFolderChooser(std::move(chooser));
    QSignalSpy changed(adding.get(), &AddLocationsPanel::listsChanged);
    const QString trashed = QStringLiteral("/media/usb/.Trash-%1/files/old").arg(::getuid());

    // A folder in the Trash and one picked twice: two alerts, the list told first.
    panel.next = { trashed, home.path(), home.path() };
    adding->addTo(HomeTab::include);
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(lists.scanListForSource().size(), 1u);
    ASSERT_EQ(alerts->shown.size(), 1);
    alerts->answerNext();
    ASSERT_EQ(alerts->shown.size(), 2);
    EXPECT_NE(alerts->shown[0], alerts->shown[1]);
    alerts->answerNext();
    EXPECT_EQ(alerts->shown.size(), 2);

    // Answered after the panel has gone, an alert opens no other.
    panel.next = { trashed, home.path() };
    adding->addTo(HomeTab::include);
    ASSERT_EQ(alerts->shown.size(), 3);
    adding.reset();
    alerts->answerNext();
    EXPECT_EQ(alerts->shown.size(), 3);
    setAlertPresenter(nullptr);
}

TEST_F(PartsFixture, ThePickerNamesASourceForEveryItemButTheSeparators)
{
    ScanSourcePicker picker(&view);
    picker.localize();
    picker.finishSetUp();
    auto* popUp = child<QComboBox>("btnScanMode");
    int sourcesNamed = 0;
    for (int index = 0; index < popUp->count(); ++index) {
        const std::optional<ScanSource> source = picker.sourceAt(index);
        EXPECT_EQ(source.has_value(), popUp->itemData(index).isValid()) << index;
        if (source) {
            ++sourcesNamed;
            EXPECT_EQ(popUp->itemData(index).toInt(), scanSourceTag(*source));
            EXPECT_EQ(popUp->itemText(index), localizedText(scanSourceTitleKey(*source)));
        }
    }
    EXPECT_EQ(sourcesNamed, 7);
    EXPECT_FALSE(picker.sourceAt(popUp->count()));
    QSignalSpy activated(&picker, &ScanSourcePicker::activated);
    emit popUp->activated(2);
    ASSERT_EQ(activated.size(), 1);
    EXPECT_EQ(activated[0][0].toInt(), 2);
}

TEST_F(PartsFixture, TheScanningViewShowsStopWhileAScanRunsAndTheWaysOnAfter)
{
    ScanningView scanning(&view);
    scanning.finishSetUp();
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.show();
    auto* box = child<QWidget>("boxScanDetail");
    const auto shown = [this](const char* name) { return child<QWidget>(name)->isVisible(); };
    EXPECT_FALSE(box->isVisible());

    scanning.showState(true, true);
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(shown("btnAbortScanning"));
    EXPECT_FALSE(shown("btnBackToAddFolder"));
    EXPECT_FALSE(shown("btnShowResultDetail"));
    EXPECT_TRUE(shown("lblScannedFilePath"));
    QSignalSpy aborted(&scanning, &ScanningView::abortTapped);
    child<QAbstractButton>("btnAbortScanning")->click();
    EXPECT_EQ(aborted.size(), 1);

    // The end: View Details and Back instead of Stop and the path.
    scanning.showState(false, false);
    EXPECT_TRUE(box->isVisible());
    EXPECT_FALSE(shown("btnAbortScanning"));
    EXPECT_TRUE(shown("btnBackToAddFolder"));
    EXPECT_TRUE(shown("btnShowResultDetail"));
    EXPECT_FALSE(shown("lblScannedFilePath"));
    scanning.hide();
    EXPECT_FALSE(box->isVisible());
}

namespace {

struct CountingReceiver : ResultsReceiver {
    std::vector<ScanResultPtr> received;
    void showResults(const ScanResultPtr& result) override { received.push_back(result); }
};

} // namespace

TEST_F(PartsFixture, AResultGoesToTheResultsScreenOrElseToThePlaceholderPage)
{
    ResultsHandOff handOff(&view);
    handOff.showLast(); // nothing handed over yet
    EXPECT_EQ(child<QWidget>("resultsPlaceholder"), nullptr);

    auto result = std::make_shared<ScanResult>();
    result->dupCount = 3;
    handOff.show(result);
    auto* page = child<QWidget>("resultsPlaceholder");
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(page->isHidden());
    EXPECT_TRUE(child<QLabel>("lblResultsPlaceholder")->text().endsWith(QStringLiteral(": 3")));
    QSignalSpy back(&handOff, &ResultsHandOff::backTapped);
    child<QAbstractButton>("btnResultsBack")->click();
    EXPECT_EQ(back.size(), 1);
    handOff.hidePage();
    EXPECT_TRUE(page->isHidden());

    // With a results screen the page stays hidden; View Details sends the
    // newest result again.
    CountingReceiver receiver;
    handOff.setReceiver(&receiver);
    auto newer = std::make_shared<ScanResult>();
    handOff.show(newer);
    handOff.showLast();
    ASSERT_EQ(receiver.received.size(), 2u);
    EXPECT_EQ(receiver.received[1], newer);
    EXPECT_TRUE(page->isHidden());
}
