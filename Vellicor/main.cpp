// Composition root: the application object and the program's composition,
// nothing else.
#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "app/SingleInstance.h"
#include "base/AlertPresenter.h"
#include "base/AppPaths.h"
#include "base/Log.h"
#include "base/UserDefaults.h"

#include <QApplication>
#include <QIcon>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>

namespace {

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char* argv[])
{
    if (!hasDisplay()) {
        std::fprintf(stderr, "vellicor: no display found; to run it without one, use: xvfb-run -a %s\n", argv[0]);
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellicor"));
    QApplication::setOrganizationName(QStringLiteral("Vellicor"));
    QApplication::setApplicationVersion(QStringLiteral(VELLICOR_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("vellicor"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/resources/images/vellicor.svg")));
    // Only the delegate's quit road ends the program; closing the preferences
    // window never does.
    QApplication::setQuitOnLastWindowClosed(false);

    // Without a home folder of the user's own, every folder of the program
    // would land below the root or in someone else's home: nothing is read
    // or made, and the user is told why.
    if (const std::optional<StartRefusal> refusal = homeFolderRefusal()) {
        const QString line = refusal->message + QLatin1Char(' ') + refusal->details;
        std::fprintf(stderr, "vellicor: %s\n", LogDetail::escaped(line).toLocal8Bit().constData());
        makeStartRefusalAlert(*refusal)->exec();
        return 1;
    }

    // One running copy per settings folder: a second start brings the first
    // copy's window to the front instead of writing the same lists.
    SingleInstance instance(AppPaths::runtimeFolder(), AppPaths::settingsFolder());
    switch (instance.start()) {
    case SingleInstance::Start::first:
        break;
    case SingleInstance::Start::handedOver:
        std::printf("Vellicor is already running; its window was brought to the front.\n");
        return 0;
    case SingleInstance::Start::otherNotReached: {
        makeAlreadyRunningAlert()->exec();
        return 1;
    }
    }

    int status = 0;
    {
        AppComposition program(UserDefaults::standard());
        QObject::connect(&instance, &SingleInstance::activationRequested, &program.delegate(),
            [&program] {
                QMainWindow* window = program.delegate().window();
                window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
                program.delegate().activateApplication();
            });
        program.launch();
        // A runtime folder refused is told with the other refused folders at
        // start; one that cannot be made, here.
        if (const auto fault = instance.runtimeFolderFault();
            fault && (*fault == PrivateFiles::FolderFault::notMade || *fault == PrivateFiles::FolderFault::missing)) {
            QTimer::singleShot(0, &program.delegate(), [fault] {
                alertPresenter()->presentThen(
                    SingleInstance::runtimeFolderAlert(AppPaths::runtimeFolder(), *fault), {});
            });
        }
        status = app.exec();
        std::printf("applicationWillTerminate\n");
    }
    return status;
}
