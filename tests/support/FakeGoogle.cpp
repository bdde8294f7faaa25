#include "support/FakeGoogle.h"

namespace {

// The id quoted first in a Drive query, unescaped.
QString parentOf(const FakeHttpRequest& request)
{
    const QString q = request.query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded);
    QString id;
    for (qsizetype i = 1; i < q.size() && q.at(i) != QLatin1Char('\''); ++i) {
        if (q.at(i) == QLatin1Char('\\'))
            ++i;
        id += q.at(i);
    }
    return id;
}

} // namespace

bool FakeGoogle::start()
{
    if (!server.listen())
        return false;
    server.enableOAuth(QStringLiteral("drive-client"));
    server.route("GET", QStringLiteral("/discovery"), [this](const FakeHttpRequest&) {
        return FakeHttpResponse::json(200,
            { { QStringLiteral("authorization_endpoint"), server.url(QStringLiteral("/authorize")).toString() },
                { QStringLiteral("token_endpoint"), server.url(QStringLiteral("/token")).toString() } });
    });
    server.route("GET", QStringLiteral("/api/files"), [this](const FakeHttpRequest& request) {
        const QString parent = parentOf(request);
        if (parent == QLatin1String("fail") || !server.isAuthorized(request))
            return FakeHttpResponse::json(parent == QLatin1String("fail") ? 500 : 401, {});
        const std::vector<QJsonArray> pages = tree.value(parent);
        const int index = request.query.queryItemValue(QStringLiteral("pageToken")).toInt();
        QJsonObject answer { { QStringLiteral("files"),
            index < static_cast<int>(pages.size()) ? pages.at(index) : QJsonArray() } };
        if (index + 1 < static_cast<int>(pages.size()))
            answer.insert(QStringLiteral("nextPageToken"), QString::number(index + 1));
        FakeHttpResponse response = FakeHttpResponse::json(200, answer);
        response.held = parent == holdFor;
        return response;
    });
    return true;
}

QJsonObject FakeGoogle::config() const
{
    return { { QStringLiteral("clientId"), QStringLiteral("drive-client") },
        { QStringLiteral("discoveryUrl"), server.url(QStringLiteral("/discovery")).toString() },
        { QStringLiteral("apiBaseUrl"), server.url(QStringLiteral("/api")).toString() },
        { QStringLiteral("thumbnailHosts"), QJsonArray { QStringLiteral(".thumbs.test") } } };
}

QJsonObject FakeGoogle::item(const QString& id, const QString& name, const QString& md5, int size)
{
    QJsonObject json { { QStringLiteral("id"), id }, { QStringLiteral("name"), name } };
    if (md5 == QLatin1String("folder"))
        json.insert(QStringLiteral("mimeType"), QStringLiteral("application/vnd.google-apps.folder"));
    else if (!md5.isEmpty())
        json.insert(QStringLiteral("md5Checksum"), md5);
    if (size >= 0)
        json.insert(QStringLiteral("size"), QString::number(size));
    json.insert(QStringLiteral("fileExtension"), name.section(QLatin1Char('.'), -1));
    return json;
}
