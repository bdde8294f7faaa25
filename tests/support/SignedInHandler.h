#pragma once
// A handler of a browser-signed-in service (Dropbox, Box, OneDrive, or a
// handler derived from one), signed in at the fake server on this machine.
#include "cloud/OAuthSession.h"
#include "support/FakeHttpServer.h"
#include "support/FakeServiceConfig.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <memory>

template <typename Handler> std::unique_ptr<Handler> signedInAtFakeServer(FakeHttpServer& server)
{
    auto handler = std::make_unique<Handler>(fakeServiceConfig(server));
    Handler* raw = handler.get();
    raw->session().setRedirectBase(QStringLiteral("http://127.0.0.1:4711"));
    raw->session().setBrowserOpener([&server, raw](const QUrl& url) {
        server.browse(url, [raw](const QUrl& redirect) { raw->session().handleRedirect(redirect); });
    });
    raw->authenticateCloud();
    EXPECT_TRUE(waitUntil([raw] { return raw->isAuthenticateForScan.load(); }));
    return handler;
}
