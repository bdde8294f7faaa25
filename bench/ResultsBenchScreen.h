#pragma once

// The results screen as the screen benchmarks drive it: the application's
// start-up in a throwaway settings folder, no alerts, no delayed calls, shown
// and laid out. Make it after the QApplication.
#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "controls/ApplicationFont.h"
#include "core/AppStartup.h"
#include "platform/FileRemover.h"
#include "results/ResultViewController.h"
#include "scan/ScanSources.h"

#include <QApplication>
#include <QTemporaryDir>

#include <memory>

struct ResultsBenchScreen {
    struct NoAlerts : AlertPresenter {
        int present(const AlertRequest&) override { return 0; }
    };
    struct NoDelays : DelayedCalls {
        void after(std::chrono::milliseconds, QObject*, std::function<void()>) override { }
    };

    ResultsBenchScreen()
    {
        screen.setDelayedCalls(std::make_shared<NoDelays>());
        screen.viewDidLoad();
        screen.show();
        QApplication::processEvents();
    }
    ~ResultsBenchScreen() { setAlertPresenter(nullptr); }

    static UserDefaults& started(UserDefaults& defaults)
    {
        installApplicationFont();
        startApplicationCore(defaults);
        setAlertPresenter(std::make_shared<NoAlerts>());
        return defaults;
    }

    QTemporaryDir folder;
    UserDefaults defaults { folder.path() + QStringLiteral("/settings") };
    ResultViewController screen { started(defaults), std::make_shared<ScanSources>(defaults),
        std::make_shared<FaultyFileRemover>() };
};
