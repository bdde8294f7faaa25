#include "GalleryHome.h"

#include "Gallery.h"

#include "base/UserDefaults.h"
#include "core/AppStartup.h"
#include "core/GlobalObjects.h"
#include "home/MainViewController.h"
#include "scan/ScanSources.h"

StartedHome::StartedHome(const std::function<void(MainViewController&)>& prepare, const QString& language)
{
    pointXdgFoldersInto(folder.path());
    defaults = std::make_unique<UserDefaults>(folder.path() + QStringLiteral("/settings"));
    startApplicationCore(*defaults);
    if (!language.isEmpty())
        currentLanguageCode = language;
    protectedFolders = std::make_unique<ScanSources>(*defaults);
    home = std::make_unique<MainViewController>(*defaults, *protectedFolders);
    home->setAttribute(Qt::WA_DontShowOnScreen);
    home->viewDidLoad();
    if (prepare)
        prepare(*home);
    home->show();
}

StartedHome::~StartedHome() = default;
