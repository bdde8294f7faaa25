// Composition root: builds the platform services and the main window, nothing
// else.
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "base/AppPaths.h"

#include <QApplication>
#include <QMainWindow>

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

    // The log never creates its folder; the application makes it once here.
    AppPaths::ensureFolder(AppPaths::stateFolder());
    setOSVersionFlags();
    loadLocalizationTable();

    QMainWindow window;
    window.setWindowTitle(QApplication::applicationName());
    window.resize(1000, 700);
    window.show();
    return app.exec();
}
