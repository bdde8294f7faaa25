#include "support/FlatCloudFolder.h"

#include <QJsonArray>

#include <algorithm>
#include <functional>

namespace {

const QString stamp = QStringLiteral("2023-05-01T12:34:56Z");

// length hexadecimal digits of a checksum or id that tell index apart.
QString hexOf(int index, int length)
{
    const QString digits = QString::number(quint64(index) * 2654435761u + 12345, 16).rightJustified(16, QLatin1Char('0'));
    QString text;
    while (text.size() < length)
        text += digits;
    return text.left(length);
}

QString albumName(int index)
{
    return QStringLiteral("Album %1").arg(index);
}

// The entries of page number page (from 0), each made by file or folder.
QJsonArray pageOf(const FlatCloudFolder& folder, int page, const std::function<QJsonObject(int)>& file,
    const std::function<QJsonObject(int)>& sub)
{
    QJsonArray entries;
    const int end = std::min(folder.entries(), (page + 1) * FlatCloudFolder::pageSize);
    for (int entry = page * FlatCloudFolder::pageSize; entry < end; ++entry)
        entries.append(entry < folder.files ? file(entry) : sub(entry - folder.files));
    return entries;
}

} // namespace

QString FlatCloudFolder::photoName(int index)
{
    return QStringLiteral("IMG_20230501_%1.jpg").arg(index, 6, 10, QLatin1Char('0'));
}

QString FlatCloudFolder::scatteredName(int index, int length)
{
    QString name;
    for (quint64 state = quint64(index) * 2654435761u + 97; name.size() < length;) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        name += QLatin1Char("abcdefghijklmnopqrstuvwxyz0123456789"[(state >> 33) % 36]);
    }
    return name + QStringLiteral(".jpg");
}

void FlatCloudFolder::serveDropbox(FakeHttpServer& server) const
{
    // Page page of the root (album -1) or of an album; a cursor names both.
    const auto answer = [folder = *this](int album, int page) {
        const FlatCloudFolder listed = album < 0 ? folder : FlatCloudFolder { folder.albumFiles, 0 };
        const QString parent = album < 0 ? QString() : QStringLiteral("/") + albumName(album);
        const int first = album < 0 ? 0 : folder.files + album * folder.albumFiles;
        const QJsonArray entries = pageOf(
            listed, page,
            [&parent, first, &folder](int index) {
                const QString name = folder.nameOf(first + index);
                const QString path = parent + QStringLiteral("/") + name;
                return QJsonObject { { QStringLiteral(".tag"), QStringLiteral("file") },
                    { QStringLiteral("name"), name }, { QStringLiteral("path_display"), path },
                    { QStringLiteral("path_lower"), path.toLower() },
                    { QStringLiteral("id"), QStringLiteral("id:") + hexOf(first + index, 22) },
                    { QStringLiteral("rev"), hexOf(first + index, 30) }, { QStringLiteral("size"), 3456789 },
                    { QStringLiteral("content_hash"), hexOf(folder.contentOf(first + index), 64) },
                    { QStringLiteral("client_modified"), stamp }, { QStringLiteral("server_modified"), stamp },
                    { QStringLiteral("is_downloadable"), true } };
            },
            [](int index) {
                const QString name = albumName(index);
                return QJsonObject { { QStringLiteral(".tag"), QStringLiteral("folder") },
                    { QStringLiteral("name"), name }, { QStringLiteral("path_display"), QStringLiteral("/") + name },
                    { QStringLiteral("id"), QStringLiteral("id:dir") + hexOf(index, 19) } };
            });
        const bool more = page + 1 < listed.pages();
        return FakeHttpResponse::json(200,
            { { QStringLiteral("entries"), entries },
                { QStringLiteral("cursor"), QStringLiteral("c%1:%2").arg(album).arg(page + 1) },
                { QStringLiteral("has_more"), more } });
    };
    server.route("POST", QStringLiteral("/api/2/files/list_folder"), [answer](const FakeHttpRequest& request) {
        const QString path = request.json().value(QStringLiteral("path")).toString();
        if (path.isEmpty())
            return answer(-1, 0);
        const QString prefix = QStringLiteral("/") + albumName(0).chopped(1);
        return answer(path.startsWith(prefix) ? path.mid(prefix.size()).toInt() : 0, 0);
    });
    server.route("POST", QStringLiteral("/api/2/files/list_folder/continue"), [answer](const FakeHttpRequest& request) {
        const QString cursor = request.json().value(QStringLiteral("cursor")).toString().mid(1);
        return answer(cursor.section(QLatin1Char(':'), 0, 0).toInt(), cursor.section(QLatin1Char(':'), 1).toInt());
    });
}

void FlatCloudFolder::serveBox(FakeHttpServer& server) const
{
    server.route("GET", QStringLiteral("/api/folders/0/items"), [folder = *this](const FakeHttpRequest& request) {
        const int offset = request.query.queryItemValue(QStringLiteral("offset")).toInt();
        const QJsonArray entries = pageOf(
            folder, offset / pageSize,
            [&folder](int index) {
                return QJsonObject { { QStringLiteral("type"), QStringLiteral("file") },
                    { QStringLiteral("id"), QString::number(1000000000000ll + index) },
                    { QStringLiteral("name"), folder.nameOf(index) }, { QStringLiteral("size"), 3456789 },
                    { QStringLiteral("sha1"), hexOf(folder.contentOf(index), 40) },
                    { QStringLiteral("created_at"), QStringLiteral("2023-05-01T05:34:56-07:00") },
                    { QStringLiteral("modified_at"), QStringLiteral("2023-05-01T05:34:56-07:00") },
                    { QStringLiteral("content_created_at"), QStringLiteral("2023-05-01T05:34:56-07:00") },
                    { QStringLiteral("content_modified_at"), QStringLiteral("2023-05-01T05:34:56-07:00") } };
            },
            [](int index) {
                return QJsonObject { { QStringLiteral("type"), QStringLiteral("folder") },
                    { QStringLiteral("id"), QString::number(2000000000000ll + index) },
                    { QStringLiteral("name"), albumName(index) } };
            });
        return FakeHttpResponse::json(200,
            { { QStringLiteral("entries"), entries }, { QStringLiteral("total_count"), folder.entries() },
                { QStringLiteral("offset"), offset }, { QStringLiteral("limit"), pageSize } });
    });
    for (int index = 0; index < folders; ++index)
        server.route("GET", QStringLiteral("/api/folders/%1/items").arg(2000000000000ll + index),
            [](const FakeHttpRequest&) {
                return FakeHttpResponse::json(
                    200, { { QStringLiteral("entries"), QJsonArray() }, { QStringLiteral("total_count"), 0 } });
            });
}

void FlatCloudFolder::serveOneDrive(FakeHttpServer& server) const
{
    const auto answer = [&server, folder = *this](int page) {
        const QJsonArray items = pageOf(
            folder, page,
            [&folder](int index) {
                const QJsonObject hashes { { QStringLiteral("sha256Hash"), hexOf(folder.contentOf(index), 64).toUpper() },
                    { QStringLiteral("quickXorHash"), hexOf(index, 28) } };
                return QJsonObject { { QStringLiteral("name"), folder.nameOf(index) },
                    { QStringLiteral("id"), QStringLiteral("D4648F06C91D9D3D!%1").arg(100000 + index) },
                    { QStringLiteral("size"), 3456789 },
                    { QStringLiteral("createdDateTime"), QStringLiteral("2023-05-01T12:34:56.123Z") },
                    { QStringLiteral("lastModifiedDateTime"), QStringLiteral("2023-05-01T12:34:56.123Z") },
                    { QStringLiteral("file"),
                        QJsonObject { { QStringLiteral("mimeType"), QStringLiteral("image/jpeg") },
                            { QStringLiteral("hashes"), hashes } } } };
            },
            [](int index) {
                return QJsonObject { { QStringLiteral("name"), albumName(index) },
                    { QStringLiteral("id"), QStringLiteral("D4648F06C91D9D3D!9%1").arg(index) },
                    { QStringLiteral("folder"), QJsonObject { { QStringLiteral("childCount"), 0 } } } };
            });
        QJsonObject body { { QStringLiteral("value"), items } };
        if (page + 1 < folder.pages())
            body.insert(QStringLiteral("@odata.nextLink"),
                server.url(QStringLiteral("/graph/flat")).toString() + QStringLiteral("?page=%1").arg(page + 1));
        return FakeHttpResponse::json(200, body);
    };
    server.route("GET", QStringLiteral("/graph/v1.0/me/drive/root/children"),
        [answer](const FakeHttpRequest&) { return answer(0); });
    server.route("GET", QStringLiteral("/graph/flat"), [answer](const FakeHttpRequest& request) {
        return answer(request.query.queryItemValue(QStringLiteral("page")).toInt());
    });
    for (int index = 0; index < folders; ++index)
        server.route("GET", QStringLiteral("/graph/v1.0/me/drive/items/D4648F06C91D9D3D!9%1/children").arg(index),
            [](const FakeHttpRequest&) { return FakeHttpResponse::json(200, { { QStringLiteral("value"), QJsonArray() } }); });
}

void FlatCloudFolder::serveDrive(FakeHttpServer& server, const QString& thumbnailHost) const
{
    server.route("GET", QStringLiteral("/api/files"), [folder = *this, thumbnailHost](const FakeHttpRequest& request) {
        // The albums are empty: their ids begin with "0".
        const QString query = request.query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded);
        if (query.contains(QLatin1String("'0")))
            return FakeHttpResponse::json(200, { { QStringLiteral("files"), QJsonArray() } });
        const int page = request.query.queryItemValue(QStringLiteral("pageToken")).toInt();
        const QJsonArray files = pageOf(
            folder, page,
            [&thumbnailHost, &folder](int index) {
                const QString name = folder.nameOf(index);
                const QJsonObject media { { QStringLiteral("width"), 4000 }, { QStringLiteral("height"), 3000 },
                    { QStringLiteral("cameraMake"), QStringLiteral("Google") },
                    { QStringLiteral("cameraModel"), QStringLiteral("Pixel 7") },
                    { QStringLiteral("exposureTime"), 0.01 }, { QStringLiteral("isoSpeed"), 100 },
                    { QStringLiteral("focalLength"), 6.81 } };
                return QJsonObject { { QStringLiteral("id"), QStringLiteral("1") + hexOf(index, 32) },
                    { QStringLiteral("name"), name }, { QStringLiteral("mimeType"), QStringLiteral("image/jpeg") },
                    { QStringLiteral("size"), QStringLiteral("3456789") },
                    { QStringLiteral("md5Checksum"), hexOf(folder.contentOf(index), 32) },
                    { QStringLiteral("createdTime"), QStringLiteral("2023-05-01T12:34:56.123Z") },
                    { QStringLiteral("modifiedTime"), QStringLiteral("2023-05-01T12:34:56.123Z") },
                    { QStringLiteral("fileExtension"), QStringLiteral("jpg") },
                    { QStringLiteral("thumbnailLink"),
                        QStringLiteral("https://%1/drive-storage/%2=s220").arg(thumbnailHost, hexOf(index, 150)) },
                    { QStringLiteral("iconLink"), QStringLiteral("https://%1/16/type/image/jpeg").arg(thumbnailHost) },
                    { QStringLiteral("imageMediaMetadata"), media } };
            },
            [](int index) {
                return QJsonObject { { QStringLiteral("id"), QStringLiteral("0") + hexOf(index, 32) },
                    { QStringLiteral("name"), albumName(index) },
                    { QStringLiteral("mimeType"), QStringLiteral("application/vnd.google-apps.folder") } };
            });
        QJsonObject answer { { QStringLiteral("files"), files } };
        if (page + 1 < folder.pages())
            answer.insert(QStringLiteral("nextPageToken"), QString::number(page + 1));
        return FakeHttpResponse::json(200, answer);
    });
}
