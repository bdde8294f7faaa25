#pragma once

// The program as a start builds it, for the app tests: on the settings in a
// folder, its alerts recorded from the first (the notices a start shows once
// the window is up among them).
#include "app/AppComposition.h"
#include "base/UserDefaults.h"
#include "core/AppStartup.h"
#include "support/RecordingAlerts.h"

#include <QCoreApplication>

#include <memory>

struct StartedProgram {
    StartedProgram(const QString& folder, const std::shared_ptr<RecordingAlerts>& alerts)
        : defaults(folder)
    {
        startApplicationCore(defaults);
        program = std::make_unique<AppComposition>(defaults);
        program->launch();
        setAlertPresenter(alerts);
        QCoreApplication::processEvents();
    }
    // The program ends as a quit ends it, before its settings store.
    ~StartedProgram()
    {
        program.reset();
        setAlertPresenter(nullptr);
    }
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    UserDefaults defaults;
    std::unique_ptr<AppComposition> program;
};
