// Composition root: builds the platform services and the main window, nothing
// else.
#include "base/UserDefaults.h"
#include "controls/ApplicationFont.h"
#include "core/AppStartup.h"

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

    startApplicationCore(UserDefaults::standard());
    installApplicationFont();

    QMainWindow window;
    window.setWindowTitle(QApplication::applicationName());
    window.resize(1000, 700);
    window.show();
    return app.exec();
}
