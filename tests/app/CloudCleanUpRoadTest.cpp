// The road of a cloud clean-up and of its undo through the real screens,
// against services on this machine that keep their files as a service does:
// a removal takes the file away, a copy makes a new file with an id and a
// revision of its own, a listing shows what is there now.
#include "app/AppComposition.h"
#include "app/CloudRoadParts.h"
#include "cleanup/CleanupController.h"
#include "cloud/BoxCloudHandler.h"
#include "cloud/DropBoxHandler.h"
#include "cloud/OAuthSession.h"
#include "support/FakeServiceConfig.h"

#include <QJsonArray>
#include <QProgressBar>

#include <map>

namespace {

// Dropbox's files by path. A removal names the revision it may take; a copy
// is a new file of a new revision.
struct FakeDropbox {
    struct File {
        QString id;
        QString rev;
        QString hash;
    };
    std::map<QString, File> files;
    int made = 0;
    int listings = 0;
    int removals = 0;

    void put(const QString& path, const QString& hash)
    {
        ++made;
        files[path] = { QStringLiteral("id:%1").arg(made), QStringLiteral("rev%1").arg(made), hash };
    }
    QJsonObject entry(const QString& path) const
    {
        const File& file = files.at(path);
        return { { QStringLiteral(".tag"), QStringLiteral("file") }, { QStringLiteral("id"), file.id },
            { QStringLiteral("name"), path.section('/', -1) }, { QStringLiteral("path_display"), path },
            { QStringLiteral("size"), 200000 }, { QStringLiteral("content_hash"), file.hash },
            { QStringLiteral("rev"), file.rev } };
    }
    static FakeHttpResponse conflict(const char* summary)
    {
        return FakeHttpResponse::json(409, { { QStringLiteral("error_summary"), QString::fromLatin1(summary) } });
    }

    void serve(FakeHttpServer& server)
    {
        server.route("POST", QStringLiteral("/api/2/files/list_folder"), [this](const FakeHttpRequest&) {
            ++listings;
            QJsonArray entries;
            for (const auto& kept : files)
                entries.append(entry(kept.first));
            return FakeHttpResponse::json(200,
                { { QStringLiteral("entries"), entries }, { QStringLiteral("cursor"), QString() },
                    { QStringLiteral("has_more"), false } });
        });
        server.route("POST", QStringLiteral("/api/2/files/delete_v2"), [this](const FakeHttpRequest& request) {
            ++removals;
            const QString path = request.json().value(QStringLiteral("path")).toString();
            const QString rev = request.json().value(QStringLiteral("parent_rev")).toString();
            const auto it = files.find(path);
            if (it == files.end())
                return conflict("path_lookup/not_found/..");
            if (!rev.isEmpty() && rev != it->second.rev)
                return conflict("path/conflict/file/..");
            const QJsonObject metadata = entry(path);
            files.erase(it);
            return FakeHttpResponse::json(200, { { QStringLiteral("metadata"), metadata } });
        });
        server.route("POST", QStringLiteral("/api/2/files/copy_v2"), [this](const FakeHttpRequest& request) {
            const QString from = request.json().value(QStringLiteral("from_path")).toString();
            const QString to = request.json().value(QStringLiteral("to_path")).toString();
            if (!files.count(from))
                return conflict("from_lookup/not_found/..");
            if (files.count(to))
                return conflict("to/conflict/file/..");
            put(to, files.at(from).hash);
            return FakeHttpResponse::json(200, { { QStringLiteral("metadata"), entry(to) } });
        });
    }
};

// Box's files by id, all in its root folder. A copy is a new file with a
// new id.
struct FakeBox {
    struct File {
        QString name;
        QString sha1;
    };
    std::map<int, File> files;
    int nextId = 1;
    int removals = 0;

    void put(const QString& name, const QString& sha1) { files[nextId++] = { name, sha1 }; }
    QJsonObject item(int id) const
    {
        const File& file = files.at(id);
        return { { QStringLiteral("type"), QStringLiteral("file") }, { QStringLiteral("id"), QString::number(id) },
            { QStringLiteral("name"), file.name }, { QStringLiteral("size"), 200000 },
            { QStringLiteral("sha1"), file.sha1 },
            { QStringLiteral("parent"), QJsonObject { { QStringLiteral("id"), QStringLiteral("0") } } } };
    }

    void serve(FakeHttpServer& server, int mostIds)
    {
        server.route("GET", QStringLiteral("/api/folders/0/items"), [this](const FakeHttpRequest&) {
            QJsonArray entries;
            for (const auto& kept : files)
                entries.append(item(kept.first));
            return FakeHttpResponse::json(
                200, { { QStringLiteral("entries"), entries }, { QStringLiteral("total_count"), entries.size() } });
        });
        for (int id = 1; id <= mostIds; ++id) {
            server.route("DELETE", QStringLiteral("/api/files/%1").arg(id), [this, id](const FakeHttpRequest&) {
                ++removals;
                return FakeHttpResponse { files.erase(id) ? 204 : 404, {}, "application/json", {}, false };
            });
            server.route(
                "POST", QStringLiteral("/api/files/%1/copy").arg(id), [this, id](const FakeHttpRequest& request) {
                    if (!files.count(id))
                        return FakeHttpResponse::json(404, {});
                    const int copy = nextId;
                    put(request.json().value(QStringLiteral("name")).toString(), files.at(id).sha1);
                    return FakeHttpResponse::json(201, item(copy));
                });
        }
    }
};

// The program with the handlers of Dropbox and Box of the fake services.
CloudSourceController::HandlerFactory serviceHandlers(FakeHttpServer& server)
{
    return [&server](ScanSource source) -> std::unique_ptr<ScanWrapper> {
        std::unique_ptr<OAuthCloudHandler> handler;
        if (source == ScanSource::dropbox)
            handler = std::make_unique<DropBoxHandler>(fakeServiceConfig(server, QStringLiteral("dropbox")));
        else if (source == ScanSource::box)
            handler = std::make_unique<BoxCloudHandler>(fakeServiceConfig(server, QStringLiteral("box")));
        else
            return nullptr;
        handler->session().setBrowserOpener([&server](const QUrl& url) {
            server.browse(url, [](const QUrl& redirect) { OAuthCloudHandler::offerRedirect(redirect); });
        });
        return handler;
    };
}

// Marks the shown files at paths, as clicks on their check boxes do; a file
// marked already stays marked.
void markShown(ResultViewController& results, const QStringList& paths)
{
    CustomTableView& table = *results.tblDuplicates();
    QAbstractItemModel& list = *table.model();
    for (const QString& path : paths) {
        const QModelIndex file = list.index(shownPaths(list).indexOf(path), 0);
        ASSERT_TRUE(file.isValid()) << path.toStdString();
        if (file.data(CustomCell::roleOf(CustomCell::Outlet::btnCheckBox)).toInt() != 1)
            clickCheckBox(table, file);
        ASSERT_EQ(file.data(CustomCell::roleOf(CustomCell::Outlet::btnCheckBox)).toInt(), 1) << path.toStdString();
    }
}

// Remove, its confirmation and, once the service was asked (serviceAsked),
// the report's OK.
void removeMarked(ResultViewController& results, const std::function<bool()>& serviceAsked)
{
    click(results.findChild<QAbstractButton*>(QStringLiteral("btnTrash")));
    click(titled("ID_TRASH"));
    ASSERT_TRUE(waitUntil(serviceAsked, 30000));
    click(titled("ID_OK"));
}

// Undo, its question, and the end of the undo with restored files back.
void undo(ResultViewController& results, qint64 restored)
{
    click(results.findChild<QAbstractButton*>(QStringLiteral("btnUndo")));
    click(titled("ID_YES"));
    ASSERT_TRUE(waitUntil([&] { return results.cleanup().lastUndoReport().restored == restored; }, 30000))
        << results.cleanup().lastUndoReport().restored;
    EXPECT_TRUE(results.cleanup().lastUndoReport().failed.empty());
}

// Scan Now, and the results of the scan with no file marked.
void scanToResults(MainViewController& homeScreen, ResultViewController& results)
{
    click(homeScreen.scanNowButton());
    ASSERT_TRUE(waitUntil([&] { return results.isVisible(); }, 30000));
    click(titled("ID_SELECT_MANUALLY"));
}

} // namespace

// After a clean-up and its undo, the next scan asks the service again, also
// when the folder picker was opened (and listed its tree afresh) in between:
// what the service holds then is what the scan compares.
TEST_F(CloudRoad, AfterAnUndoTheNextScanListsTheServiceAgainThoughThePickerWasOpened)
{
    ServiceRoad road;
    ASSERT_TRUE(road.start());
    FakeDropbox dropbox;
    for (int pair = 0; pair < 4; ++pair) {
        dropbox.put(QStringLiteral("/a%1.jpg").arg(pair), QStringLiteral("h%1").arg(pair));
        dropbox.put(QStringLiteral("/a%1 copy.jpg").arg(pair), QStringLiteral("h%1").arg(pair));
    }
    dropbox.serve(road.server);
    AppComposition program(road.defaults, serviceHandlers(road.server));
    program.launch();
    setAlertPresenter(road.alerts);
    MainViewController& homeScreen = program.home();
    ResultViewController& results = program.results();
    CloudFolderPicker& picker = program.cloudPicker();
    homeScreen.engine().setEndOfScanPauses(0, 0);
    ASSERT_NO_FATAL_FAILURE(chooseSourceAndAddItsRoot(homeScreen, picker, ScanSource::dropbox));

    ASSERT_NO_FATAL_FAILURE(scanToResults(homeScreen, results));
    QAbstractItemModel& list = *results.tblDuplicates()->model();
    ASSERT_EQ(list.rowCount(), 8) << shownPaths(list).join(',').toStdString();
    QStringList copies;
    for (int pair = 0; pair < 4; ++pair)
        copies << QStringLiteral("Dropbox/a%1 copy.jpg").arg(pair);
    ASSERT_NO_FATAL_FAILURE(markShown(results, copies));
    ASSERT_NO_FATAL_FAILURE(removeMarked(results, [&] { return dropbox.removals == 4; }));
    ASSERT_TRUE(waitUntil([&] { return list.rowCount() == 0; }));
    ASSERT_NO_FATAL_FAILURE(undo(results, 4));

    // Home, Add: the picker opens and lists the service's root afresh, and
    // is closed.
    click(results.findChild<QAbstractButton*>(QStringLiteral("btnBack")));
    const int beforePicker = dropbox.listings;
    click(homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnAddPath")));
    ASSERT_TRUE(waitUntil([&] { return picker.windowGoogleDriveFolderList->isVisible(); }));
    ASSERT_TRUE(waitUntil([&] { return dropbox.listings == beforePicker + 1 && picker.hudFolderList->isHidden(); }));
    click(picker.btnCancelGDrive);

    // Meanwhile the service came to hold other files.
    dropbox.files.clear();
    for (int pair = 0; pair < 6; ++pair) {
        dropbox.put(QStringLiteral("/b%1.jpg").arg(pair), QStringLiteral("g%1").arg(pair));
        dropbox.put(QStringLiteral("/b%1 copy.jpg").arg(pair), QStringLiteral("g%1").arg(pair));
    }
    const int listings = dropbox.listings;
    ASSERT_NO_FATAL_FAILURE(scanToResults(homeScreen, results));
    EXPECT_EQ(dropbox.listings, listings + 1);
    const QStringList shown = shownPaths(list);
    EXPECT_EQ(shown.size(), 12) << shown.join(',').toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("Dropbox/b5 copy.jpg"))) << shown.join(',').toStdString();
    EXPECT_FALSE(shown.contains(QStringLiteral("Dropbox/a0.jpg"))) << shown.join(',').toStdString();
    EXPECT_TRUE(road.alerts->texts.isEmpty()) << road.alerts->texts.join(',').toStdString();
}

// Files put back by an undo are new files at the service (a new id on Box, a
// new revision on Dropbox): they are recorded as the service answered, so
// that a second clean-up removes them.
TEST_F(CloudRoad, FilesPutBackByAnUndoCanBeRemovedAgain)
{
    for (const ScanSource source : { ScanSource::box, ScanSource::dropbox }) {
        SCOPED_TRACE(source == ScanSource::box ? "Box" : "Dropbox");
        ServiceRoad road;
        ASSERT_TRUE(road.start());
        FakeDropbox dropbox;
        FakeBox box;
        QStringList copies;
        for (int pair = 0; pair < 3; ++pair) {
            const QString name = QStringLiteral("p%1.jpg").arg(pair);
            const QString copy = QStringLiteral("p%1 copy.jpg").arg(pair);
            const QString hash = QStringLiteral("s%1").arg(pair);
            if (source == ScanSource::box) {
                box.put(name, hash);
                box.put(copy, hash);
                copies << QStringLiteral("Box/") + copy;
            } else {
                dropbox.put(QLatin1Char('/') + name, hash);
                dropbox.put(QLatin1Char('/') + copy, hash);
                copies << QStringLiteral("Dropbox/") + copy;
            }
        }
        box.serve(road.server, 20);
        dropbox.serve(road.server);
        const auto removals = [&] { return source == ScanSource::box ? box.removals : dropbox.removals; };
        const auto held = [&] { return source == ScanSource::box ? box.files.size() : dropbox.files.size(); };

        AppComposition program(road.defaults, serviceHandlers(road.server));
        program.launch();
        setAlertPresenter(road.alerts);
        MainViewController& homeScreen = program.home();
        ResultViewController& results = program.results();
        homeScreen.engine().setEndOfScanPauses(0, 0);
        ASSERT_NO_FATAL_FAILURE(chooseSourceAndAddItsRoot(homeScreen, program.cloudPicker(), source));
        ASSERT_NO_FATAL_FAILURE(scanToResults(homeScreen, results));
        QAbstractItemModel& list = *results.tblDuplicates()->model();
        ASSERT_EQ(list.rowCount(), 6) << shownPaths(list).join(',').toStdString();

        ASSERT_NO_FATAL_FAILURE(markShown(results, copies));
        ASSERT_NO_FATAL_FAILURE(removeMarked(results, [&] { return removals() == 3; }));
        ASSERT_TRUE(waitUntil([&] { return list.rowCount() == 0; }));
        EXPECT_EQ(held(), 3u);
        ASSERT_NO_FATAL_FAILURE(undo(results, 3));
        ASSERT_TRUE(waitUntil([&] { return list.rowCount() == 6; }));
        EXPECT_EQ(held(), 6u);

        // The same copies, marked and removed again: each goes.
        ASSERT_NO_FATAL_FAILURE(markShown(results, copies));
        ASSERT_NO_FATAL_FAILURE(removeMarked(results, [&] { return removals() == 6; }));
        EXPECT_TRUE(waitUntil([&] { return list.rowCount() == 0; }));
        EXPECT_EQ(results.cleanup().lastReport().countTrashed, 3);
        EXPECT_TRUE(results.cleanup().lastReport().arrFileNotTrashed.empty());
        EXPECT_EQ(held(), 3u);
        EXPECT_TRUE(road.alerts->texts.isEmpty()) << road.alerts->texts.join(',').toStdString();
        setAlertPresenter(nullptr);
    }
}
