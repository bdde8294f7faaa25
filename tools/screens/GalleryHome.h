#pragma once

#include "Gallery.h"

#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class MainViewController;
class ScanSources;
class UserDefaults;

// A home screen started as the program starts it, with its settings and the
// XDG folders in a folder of its own, shown offscreen. prepare, when given,
// runs once the screen is loaded and before it is shown. language, when given,
// is the layout's language; the texts stay those of the shipped table.
struct StartedHome {
    explicit StartedHome(
        const std::function<void(MainViewController&)>& prepare = {}, const QString& language = QString());
    ~StartedHome();

    // The next page starts from the language this one found.
    KeptLanguage keptLanguage;
    QTemporaryDir folder;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<ScanSources> protectedFolders;
    std::unique_ptr<MainViewController> home;
};
