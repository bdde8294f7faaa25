#pragma once

#include <QByteArray>

#include <memory>

// The internet check asked before any cloud work.

// Answers whether the machine has a route to the internet, without dialling
// one. The standard probe asks the system's network information service and,
// when that has no answer, looks for a default route in the kernel's routing
// tables. Tests install their own.
class NetworkReachabilityProbe {
public:
    virtual ~NetworkReachabilityProbe() = default;
    virtual bool isNetworkReachable() = 0;
};

std::shared_ptr<NetworkReachabilityProbe> networkReachabilityProbe();
// Installs a probe for the whole process; an empty pointer brings back the
// standard one.
void setNetworkReachabilityProbe(std::shared_ptr<NetworkReachabilityProbe> probe);

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
