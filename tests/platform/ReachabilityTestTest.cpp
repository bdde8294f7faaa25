#include "platform/ReachabilityTest.h"
#include "support/FixedProbe.h"

#include <gtest/gtest.h>

namespace {

const QByteArray ipv4Header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

} // namespace

TEST(InternetCheck, AsksTheInstalledProbeAndSaysSoOnStandardOutput)
{
    for (const bool reachable : { true, false }) {
        setNetworkReachabilityProbe(std::make_shared<FixedProbe>(reachable));
        testing::internal::CaptureStdout();
        EXPECT_EQ(isInternetAvailable(), reachable);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
            reachable ? "Internet connection available\n" : "No internet connection available\n");
    }
    setNetworkReachabilityProbe(nullptr);
}

TEST(SystemProbe, NetworkServiceDecidesOnlineAndDisconnectedAndTheRoutesTheRest)
{
    using R = QNetworkInformation::Reachability;
    const std::tuple<std::optional<R>, bool, bool> table[] = { { R::Online, false, true },
        { R::Disconnected, true, false }, { R::Local, true, true }, // a captive portal or a limited answer
        { R::Local, false, false }, { R::Site, true, true }, { R::Unknown, true, true }, { R::Unknown, false, false },
        { std::nullopt, true, true }, // no network service
        { std::nullopt, false, false } };
    for (const auto& [answer, route, reachable] : table) {
        SystemReachabilityProbe probe([answer = answer] { return answer; }, [route = route] { return route; });
        EXPECT_EQ(probe.isNetworkReachable(), reachable)
            << static_cast<int>(answer.value_or(R::Unknown)) << answer.has_value() << route;
    }
}

TEST(DefaultRoute, FoundInEitherTableWhenUpAndNotOnLoopback)
{
    using ReachabilityDetail::hasDefaultRoute;
    const QByteArray viaEthernet = ipv4Header
        + "eth0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
          "eth0\t0002A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n";
    const QByteArray localOnly = ipv4Header + "eth0\t0002A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n";
    const QByteArray routeDown = ipv4Header + "eth0\t00000000\t0102A8C0\t0002\t0\t0\t100\t00000000\t0\t0\t0\n";
    const QByteArray loopbackReject6 = "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
                                       "00000000000000000000000000000000 ffffffff 00000001 00000000 00200200 lo\n";
    const QByteArray default6 = "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
                                "fe800000000000000000000000000001 00000400 00000001 00000000 00450003 wlan0\n";

    EXPECT_TRUE(hasDefaultRoute(viaEthernet, loopbackReject6));
    EXPECT_FALSE(hasDefaultRoute(localOnly, loopbackReject6));
    EXPECT_FALSE(hasDefaultRoute(routeDown, QByteArray()));
    EXPECT_TRUE(hasDefaultRoute(localOnly, default6));
    EXPECT_FALSE(hasDefaultRoute(QByteArray(), QByteArray()));
    EXPECT_FALSE(hasDefaultRoute("garbage", "more garbage"));
}
