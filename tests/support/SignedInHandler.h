#pragma once
// A handler of a service signed in through the browser, signed in at the fake
// server: the stand-in browser follows its authorize page and its session
// takes the redirect back.
#include "support/FakeHttpServer.h"
#include "support/FakeServiceConfig.h"

#include <gtest/gtest.h>

#include <memory>

template <typename Handler> std::unique_ptr<Handler> signedInAt(FakeHttpServer& server)
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
