#include "preferences/PreferencesPanes.h"

#include "preferences/AdvanceScanSettingVC.h"
#include "preferences/ExcludeViewController.h"
#include "preferences/GeneralViewController.h"
#include "preferences/PreferencesWindowController.h"
#include "preferences/ScanHistoryVC.h"
#include "preferences/SearchOptionsVC.h"

std::unique_ptr<PreferencesWindowController> makePreferencesWindowController(
    UserDefaults& defaults, ScanSources& sources)
{
    auto* exclusions = new ExcludeViewController(sources);
    // The excluded folders come last: the home screen's exclude tab is their
    // usual place, this pane the one reachable from the menus.
    std::vector<PreferencePane*> panes { new GeneralViewController(defaults), new AdvanceScanSettingVC(defaults),
        new SearchOptionsVC(defaults), new ScanHistoryVC(defaults), exclusions };
    return std::make_unique<PreferencesWindowController>(std::move(panes), Style::toolbarItems, true, true, defaults);
}
