#pragma once
// A cloud service's settings that send its sign-in and its calls to a fake
// server on this machine.
#include "cloud/CloudConfig.h"
#include "support/FakeHttpServer.h"

inline CloudServiceConfig fakeServiceConfig(const FakeHttpServer& server, const QString& service = QStringLiteral("fake"))
{
    return CloudConfig::fromJson(service,
        { { QStringLiteral("clientId"), QStringLiteral("client") },
            { QStringLiteral("authorizeUrl"), server.url(QStringLiteral("/authorize")).toString() },
            { QStringLiteral("tokenUrl"), server.url(QStringLiteral("/token")).toString() },
            { QStringLiteral("apiBaseUrl"), server.url(QStringLiteral("/api/")).toString() } });
}
