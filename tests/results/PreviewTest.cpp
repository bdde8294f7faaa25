#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "controls/CustomTableView.h"
#include "core/AppStartup.h"
#include "core/ExifInfo.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "platform/FileRemover.h"
#include "results/PreviewPane.h"
#include "results/PreviewWindow.h"
#include "results/ResultViewController.h"
#include "results/ResultsListProxy.h"
#include "results/ResultsModel.h"
#include "scan/CloudFileRecordBuilder.h"
#include "scan/ScanSources.h"
#include "support/FakeHttpServer.h"
#include "support/HandClock.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"

#include <QBuffer>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>

namespace {

using Category = GlobalObjects::FileCategory;

QByteArray encoded(const QColor& color, const char* format)
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

class Preview : public ::testing::Test {
protected:
    void SetUp() override { startApplicationCore(defaults); }

    FileInfoNodePtr file(const QString& name, std::optional<Category> category, const QByteArray& content = {})
    {
        auto node = std::make_shared<FileInfoNode>();
        node->fileName = name;
        node->filePath = home.path() + QLatin1Char('/') + name;
        node->fileCategory = category;
        node->fileSize = 2048;
        node->createDate = QDateTime(QDate(2024, 5, 1), QTime(9, 0));
        node->modDate = QDateTime(QDate(2024, 6, 1), QTime(9, 0));
        if (!content.isNull()) {
            QFile out(*node->filePath);
            out.open(QIODevice::WriteOnly);
            out.write(content);
        }
        return node;
    }
    FileInfoNodePtr picture(const QString& name, const QColor& color)
    {
        return file(name, Category::Pic, encoded(color, "PNG"));
    }
    static QString value(const std::vector<MetaInfoRow>& rows, const char* key)
    {
        for (const MetaInfoRow& row : rows) {
            if (row.title == localizedText(key))
                return row.value;
        }
        return QStringLiteral("(no row)");
    }

    TempHome home;
    UserDefaults defaults { home.path() + QStringLiteral("/settings") };
};

TEST_F(Preview, RowsByKindOfFile)
{
    const auto withExif = [this](bool modified, bool captured) {
        auto node = file("p.jpg", Category::Pic);
        node->setExifInfo(std::make_shared<ExifInfo>());
        if (!modified)
            node->modDate.reset();
        if (captured)
            node->exifInfo()->captureDate = QDateTime(QDate(2023, 1, 2), QTime(3, 4));
        return node;
    };
    auto document = file("a.pdf", Category::Doc);
    document->createDate.reset();
    const struct {
        const char* name;
        FileInfoNodePtr node;
        size_t rows;
    } cases[] = {
        { "document without creation date", document, 5 },
        { "picture without metadata", file("p.jpg", Category::Pic), 4 },
        { "picture with metadata", withExif(true, true), 33 },
        { "no modification date", withExif(false, true), 32 },
        { "no modification or capture date", withExif(false, false), 31 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(metaInfoRows(*c.node, ScanSource::thisComputer).size(), c.rows);
    }
    const auto rows = metaInfoRows(*document, ScanSource::thisComputer);
    EXPECT_EQ(value(rows, "ID_FILE_LABEL"), "---");
    EXPECT_EQ(value(rows, "ID_FILE_CREATED"), "---");
    EXPECT_EQ(value(metaInfoRows(*cases[1].node, ScanSource::thisComputer), "ID_FILE_LABEL"), "(no row)");
    EXPECT_EQ(value(metaInfoRows(*cases[3].node, ScanSource::thisComputer), "ID_FILE_MODIFIED"), "(no row)");
}

TEST_F(Preview, PictureValuesAndTheirTranslationBySource)
{
    auto node = file("p.jpg", Category::Pic);
    node->setExifInfo(std::make_shared<ExifInfo>());
    ExifInfo& exif = *node->exifInfo();
    exif.digitalZoomRatio = "2";
    for (QString* code : { &exif.exposureMode, &exif.exposureProgram, &exif.meteringMode, &exif.sensingMethod,
             &exif.lightSource, &exif.sceneCaptureType })
        *code = "1";
    const auto local = metaInfoRows(*node, ScanSource::thisComputer);
    EXPECT_EQ(value(local, "ID_DIGITAL_ZOOM_RATIO"), "2.00");
    EXPECT_EQ(value(local, "ID_GPS_ALTITUDE"), "0.00 m");
    EXPECT_EQ(value(local, "ID_ORIENTATION"), "---");
    const auto cloud = metaInfoRows(*node, ScanSource::dropbox);
    const std::pair<const char*, QString (*)(const QString&)> coded[]
        = { { "ID_EXPOSURE_MODE", exposureModeText }, { "ID_EXPOSURE_PROGRAM", exposureProgramText },
              { "ID_METERING_MODE", meteringModeText }, { "ID_SENSING_METHOD", sensingMethodText },
              { "ID_LIGHT_SOURCE", lightSourceText }, { "ID_SCENE_CAPTURE_TYPE", sceneCaptureTypeText } };
    for (const auto& [key, words] : coded) {
        SCOPED_TRACE(key);
        EXPECT_EQ(value(local, key), words("1"));
        // Light source and scene type are put into words for every source.
        const bool always = QByteArray(key).contains("LIGHT") || QByteArray(key).contains("SCENE");
        EXPECT_EQ(value(cloud, key), always ? words("1") : "1");
    }
    exif.digitalZoomRatio = "abc";
    EXPECT_EQ(value(metaInfoRows(*node, ScanSource::thisComputer), "ID_DIGITAL_ZOOM_RATIO"), "0.00");
}

TEST_F(Preview, OnlyTheNewestRequestIsAnswered)
{
    const QString first = *picture("first.png", Qt::red)->filePath;
    const QString second = *picture("second.png", Qt::blue)->filePath;
    PreviewLoader loader;
    QSignalSpy loaded(&loader, &PreviewLoader::loaded);
    loader.request(first, QSize(100, 100), false);
    loader.request(second, QSize(100, 100), false);
    ASSERT_TRUE(loaded.wait());
    QTest::qWait(200);
    ASSERT_EQ(loaded.size(), 1);
    EXPECT_EQ(loaded[0][0].toString(), second);
    EXPECT_EQ(loaded[0][1].value<PreviewContent>().picture.pixelColor(0, 0), QColor(Qt::blue));
}

TEST_F(Preview, AHugePictureIsNotDecodedAndTextIsRead)
{
    QByteArray huge = encoded(Qt::green, "BMP");
    const qint32 side = 60000; // in the header only
    huge.replace(18, 4, reinterpret_cast<const char*>(&side), 4);
    huge.replace(22, 4, reinterpret_cast<const char*>(&side), 4);
    const PreviewContent picture
        = readPreviewContent(*file("huge.bmp", Category::Pic, huge)->filePath, QSize(200, 200), true);
    EXPECT_TRUE(picture.picture.isNull());
    EXPECT_FALSE(typeIcon(picture).isNull());
    const PreviewContent text = readPreviewContent(*file("n.txt", Category::Doc, "one\ntwo")->filePath, {}, true);
    EXPECT_EQ(text.text, "one\ntwo");
}

TEST_F(Preview, APictureSwappedForAFifoOrALinkShowsItsTypeWithoutBlocking)
{
    const QString real = *picture("real.png", Qt::red)->filePath;
    const QString fifo = home.path() + QStringLiteral("/pipe.png");
    const QString link = home.path() + QStringLiteral("/link.png");
    makeTestFifo(fifo);
    ASSERT_TRUE(QFile::link(real, link));
    PreviewLoader loader;
    QSignalSpy loaded(&loader, &PreviewLoader::loaded);
    for (const QString& path : { fifo, link }) {
        loader.request(path, QSize(100, 100), true);
        ASSERT_TRUE(loaded.wait()) << path.toStdString();
        const PreviewContent content = loaded.takeLast()[1].value<PreviewContent>();
        EXPECT_TRUE(content.picture.isNull()) << path.toStdString();
        EXPECT_FALSE(content.text.has_value());
        EXPECT_FALSE(typeIcon(content).isNull());
    }
    EXPECT_FALSE(readPreviewContent(real, QSize(100, 100), true).picture.isNull());
}

class PreviewScreen : public Preview {
protected:
    void SetUp() override
    {
        Preview::SetUp();
        makeScreen();
    }
    void makeScreen()
    {
        screen = std::make_unique<ResultViewController>(
            defaults, std::make_shared<ScanSources>(defaults), std::make_shared<FaultyFileRemover>());
        screen->setDelayedCalls(std::make_shared<HandClock>());
        screen->setAttribute(Qt::WA_DontShowOnScreen);
        screen->viewDidLoad();
        screen->show();
    }
    // A test that changed the language, and stopped half-way, leaves the
    // next one in English still.
    void TearDown() override
    {
        screen.reset();
        currentLanguageCode = QStringLiteral("en");
    }
    void load(const std::vector<std::vector<FileInfoNodePtr>>& groups, ScanSource source = ScanSource::thisComputer)
    {
        std::vector<DuplicateGroupPtr> made;
        for (const auto& files : groups) {
            made.push_back(std::make_shared<DuplicateGroup>());
            for (const auto& node : files)
                addFileToGroup(made.back(), node);
        }
        screen->loadScanResults(made, 1, source);
    }
    void select(int row)
    {
        screen->tblDuplicates()->setCurrentIndex(screen->listModel().index(row, 1));
        QCoreApplication::processEvents();
    }

    std::unique_ptr<ResultViewController> screen;
};

TEST_F(PreviewScreen, ASecondSelectionReplacesThePreview)
{
    load({ { picture("a.png", Qt::red), file("b.txt", Category::Doc, "text") } });
    PreviewPane& pane = screen->previewPane();
    const FileInfoNodePtr first = screen->model().fileOfListRow(0);
    select(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !pane.previewForFiles()->image().isNull(); }));
    EXPECT_EQ(pane.previewPath(), *first->filePath);
    EXPECT_TRUE(pane.metaInfoView()->isVisible());
    EXPECT_FALSE(pane.graphView()->isVisible());

    select(1);
    EXPECT_EQ(pane.previewPath(), *screen->model().fileOfListRow(1)->filePath);
    EXPECT_TRUE(pane.previewForFiles()->image().isNull());
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane.previewForFiles()->hasIcon(); }));
    EXPECT_TRUE(pane.previewForFiles()->image().isNull());

    screen->tblDuplicates()->selectionModel()->setCurrentIndex({}, QItemSelectionModel::Clear);
    EXPECT_TRUE(pane.graphView()->isVisible());
    EXPECT_FALSE(screen->imgFolderPath()->isVisible());
}

TEST_F(PreviewScreen, TheBadgeShowsOnlyForPhotoLibraryItems)
{
    auto item = file("c.jpg", Category::Pic);
    item->isPhotosNode = true;
    load({ { item, file("d.jpg", Category::Pic) } });
    for (int row : { 0, 1 }) {
        select(row);
        EXPECT_EQ(screen->previewPane().imgPhotoLib()->isVisible(), screen->model().fileOfListRow(row)->isPhotosNode);
    }
}

TEST_F(PreviewScreen, ThePreviewWindowShowsTheLastSelectedFile)
{
    load({ { file("e.txt", Category::Doc, "alpha"), file("f.txt", Category::Doc, "beta"),
        file("g.txt", Category::Doc, "gamma") } });
    for (int row : { 0, 2, 1 })
        select(row);
    const FileInfoNodePtr last = screen->model().fileOfListRow(1);
    ASSERT_EQ(screen->lastSelectedFileNode(), last);

    screen->showPreviewPanelForNode(screen->model().fileOfListRow(0));
    screen->showPreviewPanelForNode(screen->lastSelectedFileNode());
    PreviewWindow& window = *screen->previewWindow();
    EXPECT_EQ(window.arrUrlPreview(), QList<QUrl> { QUrl::fromLocalFile(*last->filePath) });
    EXPECT_EQ(window.previewItemAtIndex(3), QUrl::fromLocalFile(*last->filePath));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.face() == PreviewWindow::Face::text; }));
    EXPECT_EQ(window.textView()->toPlainText(), "beta");

    // The shown groups rebuilt underneath: the stored place now holds another file.
    std::swap(screen->state().arrGroups[0]->filterChildren[1], screen->state().arrGroups[0]->filterChildren[0]);
    EXPECT_EQ(screen->lastSelectedFileNode(), nullptr);
}

TEST_F(PreviewScreen, DriveThumbnailsArriveWithoutHoldingTheScreen)
{
    FakeHttpServer server;
    ASSERT_TRUE(server.listen());
    server.route("GET", "/thumb", [](const FakeHttpRequest&) {
        FakeHttpResponse response;
        response.body = encoded(Qt::green, "PNG");
        response.contentType = "image/png";
        return response;
    });
    const auto driveFile = [this](const QString& name, const QString& link) {
        auto node = file(name, Category::Pic);
        node->cloudFields().googleDriveFile = DriveFile {};
        node->cloudFields().googleDriveFile->thumbnailLink = link;
        node->cloudFields().googleDriveThumbnailLink = link;
        return node;
    };
    load({ { driveFile("h.jpg", server.url("/thumb").toString()),
             driveFile("i.jpg", QUrl::fromLocalFile(*picture("local.png", Qt::red)->filePath).toString()) } },
        ScanSource::googleDrive);
    PreviewPane& pane = screen->previewPane();
    select(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !pane.previewForFiles()->image().isNull(); }));
    EXPECT_EQ(pane.previewForFiles()->image().pixelColor(0, 0), QColor(Qt::green));
    select(1); // a link to a file on this disk is not followed
    QTest::qWait(100);
    EXPECT_TRUE(pane.previewForFiles()->image().isNull());
    EXPECT_EQ(server.requestCount("GET", "/thumb"), 1);
}

} // namespace

TEST_F(PreviewScreen, DatesInTheDetailsTableAreNeverCut)
{
    const FileInfoNodePtr wide = picture("wide.png", Qt::blue);
    wide->createDate = QDateTime(QDate(2024, 8, 28), QTime(20, 48, 58));
    load({ { wide, file("b.txt", Category::Doc, "text") } });
    for (int row = 0; screen->model().fileOfListRow(row); ++row) {
        if (screen->model().fileOfListRow(row) == wide)
            select(row);
    }
    const QTableWidget* table = screen->previewPane().tblMetaInfo();
    // A picture's details come once its metadata has been read.
    ASSERT_TRUE(QTest::qWaitFor([&] { return table->rowCount() > 0; }));
    const QFontMetrics metrics(table->font());
    const int valueWidth = table->horizontalHeader()->sectionSize(1);
    for (const char* date : { "ID_FILE_CREATED", "ID_FILE_MODIFIED" }) {
        const QString text = value(screen->previewPane().arrMetaInfo(), date);
        EXPECT_GE(valueWidth, metrics.horizontalAdvance(text) + 6) << text.toStdString();
        EXPECT_LE(table->columnWidth(0) + valueWidth, table->viewport()->width());
    }
}

TEST_F(PreviewScreen, PictureDetailsAreReadWhenFirstShownKeptAndNeverShownForAnotherFile)
{
    const FileInfoNodePtr shot = file("shot.jpg", Category::Pic, encoded(Qt::red, "JPG"));
    const FileInfoNodePtr notes = file("notes.txt", Category::Doc, "text");
    load({ { shot, notes } });
    EXPECT_FALSE(shot->exifInfo());
    const int row = screen->model().fileOfListRow(0) == shot ? 0 : 1;
    const PreviewPane& pane = screen->previewPane();
    const auto imageSize = [&] { return value(pane.arrMetaInfo(), "ID_IMAGE_SIZE"); };

    // Chosen and left at once: whenever its details arrive, the table stays
    // the other file's.
    select(row);
    select(1 - row);
    QTest::qWait(100);
    EXPECT_EQ(imageSize(), "(no row)");
    EXPECT_EQ(value(pane.arrMetaInfo(), "ID_FILE_NAME"), "notes.txt");

    select(row);
    ASSERT_TRUE(QTest::qWaitFor([&] { return imageSize() == "64 x 48"; }));
    EXPECT_TRUE(shot->exifInfo());
    EXPECT_EQ(pane.tblMetaInfo()->rowCount(), int(pane.arrMetaInfo().size()));
    // Once read, they show as soon as the picture is chosen again.
    select(1 - row);
    select(row);
    EXPECT_EQ(imageSize(), "64 x 48");
}

TEST_F(PreviewScreen, PicturesOfACloudResultAreNeverReadFromThisDisk)
{
    const FileInfoNodePtr shot = file("cloud.jpg", Category::Pic, encoded(Qt::red, "JPG"));
    load({ { shot, file("other.jpg", Category::Pic) } }, ScanSource::dropbox);
    select(screen->model().fileOfListRow(0) == shot ? 0 : 1);
    QTest::qWait(100);
    EXPECT_FALSE(shot->exifInfo());
    EXPECT_EQ(value(screen->previewPane().arrMetaInfo(), "ID_FILE_NAME"), "cloud.jpg");
}

TEST_F(PreviewScreen, EscapeAndCloseKeysCloseThePreviewWindow)
{
    load({ { file("e.txt", Category::Doc, "alpha"), file("f.txt", Category::Doc, "beta") } });
    select(0);
    for (const QKeyCombination keys : { QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::CTRL, Qt::Key_W) }) {
        screen->showPreviewPanelForNode(screen->lastSelectedFileNode());
        PreviewWindow& window = *screen->previewWindow();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, keys.key(), keys.keyboardModifiers());
        EXPECT_FALSE(window.isVisible()) << keys.key();
    }
}

TEST_F(PreviewScreen, EveryTitleAndValueOfAFullPictureFitsItsCell)
{
    for (const char* language : { "en", "de" }) {
        currentLanguageCode = QString::fromLatin1(language);
        makeScreen();
        const FileInfoNodePtr photo = file("IMG_4711.jpg", Category::Pic);
        photo->createDate = QDateTime(QDate(2024, 8, 28), QTime(20, 48, 58));
        photo->modDate = QDateTime(QDate(2024, 12, 30), QTime(23, 58, 59));
        // Every row shows, filled or not; the values are long ones a camera
        // writes.
        auto exif = std::make_shared<ExifInfo>();
        exif->keywords = "holiday, beach";
        exif->captureDate = photo->createDate;
        exif->exposureProgram = "3";
        exif->sensingMethod = "2";
        exif->cameraModel = "Canon EOS 80D";
        exif->cameraLensModel = "EF50mm f/1.8 STM";
        exif->profileName = "sRGB IEC61966-2.1";
        exif->gpsLatitude = 48.1372;
        exif->gpsLatitudeRef = "N";
        photo->setExifInfo(exif);
        load({ { photo, file("b.txt", Category::Doc, "text") } });
        for (int row = 0; screen->model().fileOfListRow(row); ++row) {
            if (screen->model().fileOfListRow(row) == photo)
                select(row);
        }
        const QTableWidget* table = screen->previewPane().tblMetaInfo();
        ASSERT_EQ(table->rowCount(), 33) << language;

        const QFontMetrics metrics(table->font());
        // The cell's text margins as the style draws them, and a little air
        // between title and value.
        constexpr int margins = 6;
        constexpr int air = 4;
        const int titleWidth = table->columnWidth(0) - margins - air;
        const int valueWidth = table->horizontalHeader()->sectionSize(1) - margins;
        EXPECT_LE(table->columnWidth(0) + table->horizontalHeader()->sectionSize(1), table->viewport()->width());
        for (int row = 0; row < table->rowCount(); ++row) {
            const QString title = table->item(row, 0)->text();
            const QString value = table->item(row, 1)->text();
            SCOPED_TRACE(language + (" " + title.toStdString()) + ": " + value.toStdString());
            for (const QString& word : title.split(QLatin1Char(' ')))
                EXPECT_LE(metrics.horizontalAdvance(word), titleWidth) << "a word of the title is broken";
            const QRect wrapped = metrics.boundingRect(QRect(0, 0, titleWidth, 1000), Qt::TextWordWrap, title);
            EXPECT_LE(wrapped.height(), table->rowHeight(row)) << "the title's lines are cut";
            EXPECT_LE(metrics.horizontalAdvance(value), valueWidth) << "the value is cut";
        }
        screen.reset();
    }
}

// The keywords of a picture read from its file show apart from each other.
TEST_F(PreviewScreen, APicturesKeywordsShowSeparated)
{
    const FileInfoNodePtr shot = file("beach.jpg", Category::Pic, encoded(Qt::yellow, "JPG"));
    {
        const auto image = Exiv2::ImageFactory::open(QFile::encodeName(*shot->filePath).toStdString());
        ASSERT_TRUE(image.get());
        image->readMetadata();
        for (const char* keyword : { "beach", "sun" }) {
            Exiv2::StringValue text(keyword);
            image->iptcData().add(Exiv2::IptcKey("Iptc.Application2.Keywords"), &text);
        }
        image->writeMetadata();
    }
    load({ { shot, file("notes.txt", Category::Doc, "text") } });
    select(screen->model().fileOfListRow(0) == shot ? 0 : 1);
    const PreviewPane& pane = screen->previewPane();
    ASSERT_TRUE(QTest::qWaitFor([&] { return value(pane.arrMetaInfo(), "ID_KEYWORDS") != "(no row)"; }));
    EXPECT_EQ(value(pane.arrMetaInfo(), "ID_KEYWORDS"), "beach, sun");
}

// A Drive picture shows an exposure bias of 0 only when the service gave
// image metadata; without it the details are those of an empty record.
TEST_F(PreviewScreen, ADrivePictureWithoutImageMetadataShowsNoExposureBias)
{
    const auto drivePicture = [this](const QString& name, bool withMetadata) {
        DriveFile item;
        item.name = name;
        if (withMetadata)
            item.imageMediaMetadata = DriveImageMediaMetadata {};
        FileInfoNodePtr node = file(name, Category::Pic);
        setExifInfoFromDriveMetadata(*node, item);
        return node;
    };
    const FileInfoNodePtr bare = drivePicture("bare.jpg", false);
    const FileInfoNodePtr described = drivePicture("described.jpg", true);
    auto empty = file("empty.jpg", Category::Pic);
    empty->setExifInfo(std::make_shared<ExifInfo>());
    const QString noBias = value(metaInfoRows(*empty, ScanSource::googleDrive), "ID_EXPOSURE_BIAS");
    load({ { bare, described } }, ScanSource::googleDrive);
    for (int row = 0; row < 2; ++row) {
        select(row);
        const FileInfoNodePtr shown = screen->model().fileOfListRow(row);
        EXPECT_EQ(value(screen->previewPane().arrMetaInfo(), "ID_EXPOSURE_BIAS"), shown == bare ? noBias : "0")
            << shown->fileName->toStdString();
    }
}
