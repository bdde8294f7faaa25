// The browser's redirect back to a waiting sign-in, with any request target:
// taken only when its state is the sign-in's own. "STATE" in the input stands
// for that state, so the fuzzer reaches past the check.

#include "FuzzSupport.h"

#include "cloud/OAuthSession.h"

#include <QCoreApplication>
#include <QUrlQuery>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CloudServiceConfig config;
    config.service = QStringLiteral("fuzz");
    config.clientId = QStringLiteral("client");
    config.authorizeUrl = QUrl(QStringLiteral("https://sign-in.invalid/authorize"));
    // Port 1 on the loopback: a code exchange that reaches it is refused at
    // once, and nothing leaves the machine.
    config.tokenUrl = QUrl(QStringLiteral("http://127.0.0.1:1/token"));
    const QString base = QStringLiteral("http://127.0.0.1:41234");

    QString state;
    {
        OAuthSession session(config, nullptr, QStringLiteral("fuzz"));
        session.setRedirectBase(base);
        session.setBrowserOpener(
            [&state](const QUrl& url) { state = QUrlQuery(url).queryItemValue(QStringLiteral("state")); });
        session.signIn();
        if (state.isEmpty())
            __builtin_trap();
        // As the loopback listener hands it in: its address and the target.
        QString target = QString::fromUtf8(Fuzz::bytes(data, size));
        target.replace(QLatin1String("STATE"), state);
        session.handleRedirect(QUrl(base + target));
        session.cancelSignIn();
    }
    // What the flow left queued (a refused code exchange) ends here, not in
    // a later run.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
