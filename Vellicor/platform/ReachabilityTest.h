#pragma once

#include <QByteArray>
#include <QNetworkInformation>

#include <functional>
#include <memory>
#include <optional>

// The internet check asked before any cloud work.

// Answers whether the machine has a route to the internet, without dialling
// one. Tests install their own.
class NetworkReachabilityProbe {
public:
    virtual ~NetworkReachabilityProbe() = default;
    virtual bool isNetworkReachable() = 0;
};

std::shared_ptr<NetworkReachabilityProbe> networkReachabilityProbe();
// Installs a probe for the whole process; an empty pointer brings back the
// standard one.
void setNetworkReachabilityProbe(std::shared_ptr<NetworkReachabilityProbe> probe);

// The standard probe. The network information service decides when it knows
// (Online: yes, Disconnected: no); for Local, Site, Unknown and without a
// service the routing tables decide, so a captive-portal or limited answer
// does not refuse cloud work on a machine with a working default route. Both
// sources can be replaced for tests.
class SystemReachabilityProbe : public NetworkReachabilityProbe {
public:
    // None when no network information service can be loaded.
    using NetworkAnswer = std::function<std::optional<QNetworkInformation::Reachability>()>;
    using RouteAnswer = std::function<bool()>;

    SystemReachabilityProbe();
    SystemReachabilityProbe(NetworkAnswer networkAnswer, RouteAnswer hasDefaultRoute);
    bool isNetworkReachable() override;

private:
    NetworkAnswer networkAnswer_;
    RouteAnswer hasDefaultRoute_;
};

struct ReachabilityTest {
    static bool isNetworkReachable();
};

// The probe's answer, also printed on standard output as "Internet connection
// available" or "No internet connection available". GUI thread.
bool isInternetAvailable();

namespace ReachabilityDetail {

// Whether the texts of /proc/net/route and /proc/net/ipv6_route hold a
// default route that is up and leads somewhere other than the loopback.
bool hasDefaultRoute(const QByteArray& ipv4Routes, const QByteArray& ipv6Routes);

} // namespace ReachabilityDetail
