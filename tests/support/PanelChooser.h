#pragma once
// Stands in for the home screen's folder panel: answers the next opening
// with the folders the test put in next (none: cancelled), then with none.
#include "home/LocationAdder.h"

#include <utility>

struct PanelChooser : FolderChooser {
    QStringList next;
    std::vector<Options> opened;
    void chooseFolders(const Options& options, std::function<void(const QStringList&)> done) override
    {
        opened.push_back(options);
        done(std::exchange(next, {}));
    }
};
