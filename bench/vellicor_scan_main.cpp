// vellicor-scan: the application's scan engine without a display, for
// benchmarks and comparisons with other duplicate finders (see README.md).
#include "ScanDriver.h"

#include <QCoreApplication>

#include <cstdio>
#include <malloc.h>

int main(int argc, char* argv[])
{
    // The scan builds its records on several reading threads; two heaps
    // instead of one per thread keep their half-empty pages from adding up.
    mallopt(M_ARENA_MAX, 2);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Vellicor"));
    QCoreApplication::setOrganizationName(QStringLiteral("Vellicor"));
    return runScanDriver(QCoreApplication::arguments().mid(1), stdout, stderr, true);
}
