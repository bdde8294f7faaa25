// Composition root: the application object and the program's composition,
// nothing else.
#include "app/AppComposition.h"
#include "base/UserDefaults.h"

#include <QApplication>
#include <QIcon>

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

    int status = 0;
    {
        AppComposition program(UserDefaults::standard());
        program.launch();
        status = app.exec();
        std::printf("applicationWillTerminate\n");
    }
    return status;
}
