// Renders every registered gallery page to OUT_DIR/<name>.png, offscreen.
#include "Gallery.h"

#include "controls/ApplicationFont.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream err(stderr);
    QTextStream out(stdout);

    QStringList args = QApplication::arguments().mid(1);
    QString only;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--scale") && i + 1 < args.size()) {
            setGalleryScale(std::max(1.0, args[i + 1].toDouble()));
            args.remove(i, 2);
            --i;
        } else if (args[i] == QLatin1String("--only") && i + 1 < args.size()) {
            only = args[i + 1];
            args.remove(i, 2);
            --i;
        }
    }
    if (args.size() != 1) {
        err << "usage: vellicor-screens OUT_DIR [--scale N] [--only TEXT]\n";
        return 2;
    }
    const QDir outDir(args.front());
    if (!QDir().mkpath(outDir.path())) {
        err << "vellicor-screens: cannot create " << outDir.path() << "\n";
        return 1;
    }

    installApplicationFont();
    installApplicationStyle();
    setOSVersionFlags();
    loadLocalizationTable();

    int failures = 0;
    for (const GalleryPage& page : galleryPages()) {
        if (!only.isEmpty() && !page.name.contains(only))
            continue;
        const QString path = outDir.filePath(page.name + QStringLiteral(".png"));
        const QImage image = page.render();
        if (image.isNull() || !image.save(path)) {
            err << "vellicor-screens: could not write " << path << "\n";
            ++failures;
            continue;
        }
        out << path << "\n";
    }
    return failures == 0 ? 0 : 1;
}
