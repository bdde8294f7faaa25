#include "preferences/PreferencesPanes.h"

#include "preferences/GeneralViewController.h"
#include "preferences/PreferencesWindowController.h"
#include "preferences/SearchOptionsVC.h"

std::unique_ptr<PreferencesWindowController> makePreferencesWindowController(UserDefaults& defaults)
{
    std::vector<PreferencePane*> panes { new GeneralViewController(defaults), new SearchOptionsVC(defaults) };
    return std::make_unique<PreferencesWindowController>(std::move(panes), Style::toolbarItems, true, true, defaults);
}
