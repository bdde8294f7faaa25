// vellicor-scan: the application's scan engine without a display, for
// benchmarks and comparisons with other duplicate finders (see README.md).
#include "ScanDriver.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Vellicor"));
    QCoreApplication::setOrganizationName(QStringLiteral("Vellicor"));
    return runScanDriver(QCoreApplication::arguments().mid(1), stdout, stderr, true);
}
