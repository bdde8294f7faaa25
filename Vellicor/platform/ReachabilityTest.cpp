#include "platform/ReachabilityTest.h"

#include "base/ServiceSlot.h"

#include <QCoreApplication>
#include <QFile>
#include <QNetworkInformation>
#include <QThread>

#include <cstdio>

namespace ReachabilityDetail {

namespace {

constexpr unsigned routeUp = 0x0001;
constexpr unsigned routeReject = 0x0200;

QList<QByteArray> fieldsOf(const QByteArray& line)
{
    return line.simplified().split(' ');
}

} // namespace

bool hasDefaultRoute(const QByteArray& ipv4Routes, const QByteArray& ipv6Routes)
{
    // Iface Destination Gateway Flags RefCnt Use Metric Mask …, hexadecimal.
    for (const QByteArray& line : ipv4Routes.split('\n')) {
        const QList<QByteArray> fields = fieldsOf(line);
        if (fields.size() < 8 || fields.at(0) == "lo")
            continue;
        bool ok = false;
        const unsigned flags = fields.at(3).toUInt(&ok, 16);
        if (ok && fields.at(1) == "00000000" && fields.at(7) == "00000000" && (flags & routeUp)
            && !(flags & routeReject))
            return true;
    }
    // Destination PrefixLength Source SourcePrefix NextHop Metric RefCnt Use
    // Flags Iface.
    for (const QByteArray& line : ipv6Routes.split('\n')) {
        const QList<QByteArray> fields = fieldsOf(line);
        if (fields.size() < 10 || fields.at(9) == "lo")
            continue;
        bool ok = false;
        const unsigned flags = fields.at(8).toUInt(&ok, 16);
        if (ok && fields.at(0) == QByteArray(32, '0') && fields.at(1) == "00" && (flags & routeUp)
            && !(flags & routeReject))
            return true;
    }
    return false;
}

} // namespace ReachabilityDetail

namespace {

QByteArray readProcFile(const char* path)
{
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Loaded once, on the application's thread, where its object lives; other
// threads get no answer and fall back to the routing tables.
std::optional<QNetworkInformation::Reachability> systemNetworkAnswer()
{
    const QCoreApplication* application = QCoreApplication::instance();
    if (!application || QThread::currentThread() != application->thread())
        return std::nullopt;
    static const bool loaded = QNetworkInformation::loadDefaultBackend();
    const QNetworkInformation* information = loaded ? QNetworkInformation::instance() : nullptr;
    if (!information)
        return std::nullopt;
    return information->reachability();
}

bool systemHasDefaultRoute()
{
    return ReachabilityDetail::hasDefaultRoute(readProcFile("/proc/net/route"), readProcFile("/proc/net/ipv6_route"));
}

ServiceSlot<NetworkReachabilityProbe>& probeSlot()
{
    static ServiceSlot<NetworkReachabilityProbe> slot(std::make_shared<SystemReachabilityProbe>());
    return slot;
}

} // namespace

SystemReachabilityProbe::SystemReachabilityProbe()
    : SystemReachabilityProbe(systemNetworkAnswer, systemHasDefaultRoute)
{
}

SystemReachabilityProbe::SystemReachabilityProbe(NetworkAnswer networkAnswer, RouteAnswer hasDefaultRoute)
    : networkAnswer_(std::move(networkAnswer))
    , hasDefaultRoute_(std::move(hasDefaultRoute))
{
}

bool SystemReachabilityProbe::isNetworkReachable()
{
    switch (networkAnswer_().value_or(QNetworkInformation::Reachability::Unknown)) {
    case QNetworkInformation::Reachability::Online:
        return true;
    case QNetworkInformation::Reachability::Disconnected:
        return false;
    case QNetworkInformation::Reachability::Local:
    case QNetworkInformation::Reachability::Site:
    case QNetworkInformation::Reachability::Unknown:
        break;
    }
    return hasDefaultRoute_();
}

std::shared_ptr<NetworkReachabilityProbe> networkReachabilityProbe()
{
    return probeSlot().get();
}

void setNetworkReachabilityProbe(std::shared_ptr<NetworkReachabilityProbe> probe)
{
    probeSlot().set(std::move(probe));
}

bool ReachabilityTest::isNetworkReachable()
{
    return networkReachabilityProbe()->isNetworkReachable();
}

bool isInternetAvailable()
{
    const bool available = ReachabilityTest::isNetworkReachable();
    std::fputs(available ? "Internet connection available\n" : "No internet connection available\n", stdout);
    std::fflush(stdout);
    return available;
}
