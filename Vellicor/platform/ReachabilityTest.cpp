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

class SystemReachabilityProbe : public NetworkReachabilityProbe {
public:
    bool isNetworkReachable() override
    {
        if (QNetworkInformation* information = networkInformation()) {
            switch (information->reachability()) {
            case QNetworkInformation::Reachability::Online:
                return true;
            case QNetworkInformation::Reachability::Disconnected:
            case QNetworkInformation::Reachability::Local:
            case QNetworkInformation::Reachability::Site:
                return false;
            case QNetworkInformation::Reachability::Unknown:
                break;
            }
        }
        return ReachabilityDetail::hasDefaultRoute(
            readProcFile("/proc/net/route"), readProcFile("/proc/net/ipv6_route"));
    }

private:
    // Loaded once, on the application's thread, where its object lives.
    static QNetworkInformation* networkInformation()
    {
        const QCoreApplication* application = QCoreApplication::instance();
        if (!application || QThread::currentThread() != application->thread())
            return nullptr;
        static const bool loaded = QNetworkInformation::loadDefaultBackend();
        return loaded ? QNetworkInformation::instance() : nullptr;
    }
};

ServiceSlot<NetworkReachabilityProbe>& probeSlot()
{
    static ServiceSlot<NetworkReachabilityProbe> slot(std::make_shared<SystemReachabilityProbe>());
    return slot;
}

} // namespace

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
