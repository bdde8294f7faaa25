#include "results/PreviewPane.h"

#include "base/Log.h"
#include "controls/ApplicationFont.h"
#include "controls/CyanideScroller.h"
#include "controls/NamedImage.h"
#include "core/CommonFuncs.h"
#include "core/ExifInfo.h"
#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "core/TextFormat.h"
#include "marking/ContextMenuActions.h"
#include "platform/BoundedNetworkAccess.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QLabel>
#include <QNetworkReply>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <algorithm>
#include <cmath>

namespace {

const QColor captionColor(160, 163, 168);
const QColor textColor(220, 222, 226);
const QColor paneColor(36, 38, 41);
constexpr int margin = 16;
constexpr int previewHeight = 170;
constexpr int metaHeadingHeight = 20;
constexpr int tableEdge = 4;
// A table cell's text margins, and a little air between title and value.
constexpr int cellPadding = 8;
constexpr int columnGap = 4;
constexpr int rowHeight = 22;
constexpr int badgeSide = 30;
constexpr int iconSide = 200;
// A thumbnail is small; a service sending more is not sending one.
constexpr qint64 largestThumbnailBytes = 8 * 1024 * 1024;
constexpr int thumbnailTimeoutMs = 15'000;

const QString noValue = QStringLiteral("---");

QString dateOrEmpty(const std::optional<QDateTime>& date)
{
    return dateTimeText(date).value_or(QString());
}

// The photo-library badge: a picture sign on a round dark plate.
class BadgeView : public QWidget {
public:
    explicit BadgeView(QWidget* parent)
        : QWidget(parent)
        , image_(NamedImage::load(QStringLiteral("img_icon")))
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(255, 255, 255, 200), 1.5));
        painter.setBrush(QColor(20, 22, 25, 220));
        painter.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
        image_.draw(painter, QRectF(rect()).adjusted(7, 7, -7, -7));
    }

private:
    NamedImage image_;
};

// The titles' column: a title longer than the column's width goes on over
// more lines at its spaces, as the row grows to hold it; the column's last
// points stay empty, the air before the value.
class WrappingTitleDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem inset(option);
        inset.rect.setRight(inset.rect.right() - columnGap);
        QStyledItemDelegate::paint(painter, inset, index);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->features |= QStyleOptionViewItem::WrapText;
    }
};

// The widest word of any title: the titles' column never breaks a word.
int widestTitleWord(const std::vector<MetaInfoRow>& rows, const QFontMetricsF& metrics)
{
    double widest = 0;
    for (const MetaInfoRow& row : rows) {
        for (const QString& word : row.title.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            widest = std::max(widest, metrics.horizontalAdvance(word));
    }
    return int(std::ceil(widest));
}

} // namespace

std::vector<MetaInfoRow> metaInfoRows(const FileInfoNode& file, ScanSource source)
{
    std::vector<MetaInfoRow> rows;
    const auto add = [&rows](const char* key, const QString& value) {
        rows.push_back({ localizedText(key), value.isEmpty() ? noValue : value });
    };
    const QString name = file.fileName.value_or(QString());
    const QString size = getSizeInUnits(double(file.fileSize));
    const ExifInfo* exif = file.exifInfo().get();
    const bool picture = file.fileCategory == GlobalObjects::FileCategory::Pic;
    if (!picture || !exif) {
        add("ID_FILE_NAME", name);
        add("ID_FILE_SIZE", size);
        if (!picture)
            add("ID_FILE_LABEL", noValue);
        add("ID_FILE_CREATED", dateOrEmpty(file.createDate));
        add("ID_FILE_MODIFIED", dateOrEmpty(file.modDate));
        return rows;
    }

    const bool local = source == ScanSource::thisComputer;
    const auto coded
        = [local](const QString& code, QString (*words)(const QString&)) { return local ? words(code) : code; };
    add("ID_FILE_NAME", name);
    add("ID_FILE_SIZE", size);
    add("ID_FILE_LABEL", exif->fileLabel);
    if (file.createDate && file.createDate->isValid())
        add("ID_FILE_CREATED", dateOrEmpty(file.createDate));
    if (file.modDate && file.modDate->isValid())
        add("ID_FILE_MODIFIED", dateOrEmpty(file.modDate));
    add("ID_RATEING", exif->rating);
    add("ID_KEYWORDS", exif->keywords);
    add("ID_IMAGE_SIZE", exif->imageSize);
    add("ID_IMAGE_DPI", exif->imageDPI);
    add("ID_ORIENTATION", exif->orientation == 0 ? noValue : orientationText(exif->orientation));
    add("ID_DIGITAL_ZOOM_RATIO",
        exif->digitalZoomRatio.isEmpty() ? QString() : formatFixed(exif->digitalZoomRatio.toDouble(), 2));
    if (exif->captureDate && exif->captureDate->isValid())
        add("ID_CAPTURE_DATE", dateOrEmpty(exif->captureDate));
    add("ID_EDITING_SOFTWARE", exif->editingSoftware);
    add("ID_EXPOSURE", exif->exposure);
    add("ID_FOCAL_LENGTH", exif->folcalLength);
    add("ID_EXPOSURE_BIAS", exif->exposureBias);
    add("ID_ISO_SPEED_RATING", exif->isoSpeedRating);
    add("ID_EXPOSURE_MODE", coded(exif->exposureMode, exposureModeText));
    add("ID_EXPOSURE_PROGRAM", coded(exif->exposureProgram, exposureProgramText));
    add("ID_METERING_MODE", coded(exif->meteringMode, meteringModeText));
    add("ID_SENSING_METHOD", coded(exif->sensingMethod, sensingMethodText));
    add("ID_LIGHT_SOURCE", lightSourceText(exif->lightSource));
    add("ID_SCENE_CAPTURE_TYPE", sceneCaptureTypeText(exif->sceneCaptureType));
    add("ID_CAMERA_MAKER", exif->cameraMaker);
    add("ID_CAMERA_MODEL", exif->cameraModel);
    add("ID_CAMERA_LENS_MODEL", exif->cameraLensModel);
    add("ID_CAMERA_FIRMWARE", exif->cameraFirmware);
    add("ID_COLOR_MODEL", exif->colorModel);
    add("ID_COLOR_SPACE", exif->colorSpace);
    add("ID_PROFILE_NAME", exif->profileName);
    add("ID_GPS_ALTITUDE", formatFixed(exif->gpsAltitude, 2) + QStringLiteral(" m"));
    add("ID_GPS_LATITUDE", gpsCoordinateText(exif->gpsLatitude, exif->gpsLatitudeRef));
    add("ID_GPS_LONGITUDE", gpsCoordinateText(exif->gpsLongitude, exif->gpsLongitudeRef));
    return rows;
}

// ---- PreviewImageView -----------------------------------------------------------

void PreviewImageView::setImage(const QImage& image)
{
    image_ = image;
    icon_ = QIcon();
    update();
}

void PreviewImageView::setIcon(const QIcon& icon, const QSize& size)
{
    image_ = QImage();
    icon_ = icon;
    iconSize_ = size;
    update();
}

void PreviewImageView::clear()
{
    image_ = QImage();
    icon_ = QIcon();
    update();
}

void PreviewImageView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!image_.isNull()) {
        // A small picture keeps its size; a larger one is fitted.
        QSizeF drawn = image_.deviceIndependentSize();
        if (drawn.width() > width() || drawn.height() > height())
            drawn.scale(QSizeF(size()), Qt::KeepAspectRatio);
        const QRectF target(QPointF((width() - drawn.width()) / 2, (height() - drawn.height()) / 2), drawn);
        painter.drawImage(target, image_);
        return;
    }
    if (!icon_.isNull()) {
        const QSize side = iconSize_.boundedTo(size());
        const QSize fitted = QSize(std::min(side.width(), side.height()), std::min(side.width(), side.height()));
        icon_.paint(&painter, QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted));
    }
}

// ---- PreviewPane ------------------------------------------------------------------

PreviewPane::PreviewPane(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("previewPane"));
    graphView_ = new QWidget(this);
    graphView_->setObjectName(QStringLiteral("graphView"));
    metaInfoView_ = new QWidget(this);
    metaInfoView_->setObjectName(QStringLiteral("metaInfoView"));
    previewForFiles_ = new PreviewImageView(metaInfoView_);
    previewForFiles_->setObjectName(QStringLiteral("previewForFiles"));
    imgPhotoLib_ = new BadgeView(metaInfoView_);
    imgPhotoLib_->setObjectName(QStringLiteral("imgPhotoLib"));
    imgPhotoLib_->hide();

    // The details' heading; its text comes with the screen's others.
    lblMetaSummary_ = new QLabel(metaInfoView_);
    lblMetaSummary_->setObjectName(QStringLiteral("lblMetaSummary"));
    lblMetaSummary_->setFont(systemFontOfSize(13, QFont::Bold));
    QPalette headingPalette = lblMetaSummary_->palette();
    headingPalette.setColor(QPalette::WindowText, captionColor);
    lblMetaSummary_->setPalette(headingPalette);

    lblLockReason_ = new QLabel(metaInfoView_);
    lblLockReason_->setObjectName(QStringLiteral("lblLockReason"));
    lblLockReason_->setFont(systemFontOfSize(11));
    lblLockReason_->setWordWrap(true);
    lblLockReason_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette reasonPalette = lblLockReason_->palette();
    reasonPalette.setColor(QPalette::WindowText, textColor);
    lblLockReason_->setPalette(reasonPalette);
    lblLockReason_->hide();

    tblMetaInfo_ = new QTableWidget(0, 2, metaInfoView_);
    tblMetaInfo_->setObjectName(QStringLiteral("tblMetaInfo"));
    tblMetaInfo_->horizontalHeader()->hide();
    tblMetaInfo_->verticalHeader()->hide();
    tblMetaInfo_->verticalHeader()->setDefaultSectionSize(rowHeight);
    tblMetaInfo_->verticalHeader()->setMinimumSectionSize(rowHeight);
    tblMetaInfo_->setItemDelegateForColumn(0, new WrappingTitleDelegate(tblMetaInfo_));
    tblMetaInfo_->horizontalHeader()->setStretchLastSection(true);
    tblMetaInfo_->setColumnWidth(0, 80);
    tblMetaInfo_->setVerticalScrollBar(new CyanideScroller(Qt::Vertical));
    tblMetaInfo_->setShowGrid(false);
    tblMetaInfo_->setFrameShape(QFrame::NoFrame);
    tblMetaInfo_->setWordWrap(false);
    tblMetaInfo_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblMetaInfo_->setSelectionMode(QAbstractItemView::NoSelection);
    tblMetaInfo_->setFocusPolicy(Qt::NoFocus);
    tblMetaInfo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tblMetaInfo_->setFont(systemFontOfSize(11));
    QPalette palette = tblMetaInfo_->palette();
    palette.setColor(QPalette::Base, paneColor);
    palette.setColor(QPalette::Text, textColor);
    tblMetaInfo_->setPalette(palette);

    loader_ = new PreviewLoader(this);
    connect(loader_, &PreviewLoader::loaded, this, &PreviewPane::pictureLoaded);
    metadataLoader_ = new PictureMetadataLoader(this);
    connect(metadataLoader_, &PictureMetadataLoader::metadataRead, this, &PreviewPane::metadataRead);
    metaInfoView_->hide();
    if (parent)
        parent->installEventFilter(this);
}

bool PreviewPane::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        resize(parentWidget()->width(), std::max(0, parentWidget()->height() - y()));
    return QWidget::eventFilter(watched, event);
}

void PreviewPane::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    graphView_->setGeometry(rect());
    metaInfoView_->setGeometry(rect());
    layOutDetails();
}

void PreviewPane::layOutDetails()
{
    const int inner = std::max(0, width() - 2 * margin);
    previewForFiles_->setGeometry(margin, 0, inner, previewHeight);
    imgPhotoLib_->setGeometry(margin + inner - badgeSide - 4, 4, badgeSide, badgeSide);
    int top = previewHeight + 10;
    if (!lblLockReason_->isHidden()) {
        const int height = lblLockReason_->heightForWidth(inner);
        lblLockReason_->setGeometry(margin, top, inner, height);
        top += height + 8;
    }
    lblMetaSummary_->setGeometry(margin, top, inner, metaHeadingHeight);
    const int tableTop = top + metaHeadingHeight + 4;
    // The table's scroller runs close to the pane's edge, so the values get
    // the room a whole date needs.
    tblMetaInfo_->setGeometry(
        margin, tableTop, std::max(0, width() - margin - tableEdge), std::max(0, height() - tableTop - margin));
    fitMetaInfoColumns();
}

void PreviewPane::fitMetaInfoColumns()
{
    // Measured in fractions and rounded up, as the cells draw them.
    const QFontMetricsF metrics(tblMetaInfo_->font());
    int widestTitle = 0;
    int widestValue = 0;
    for (const MetaInfoRow& row : arrMetaInfo_) {
        widestTitle = std::max(widestTitle, int(std::ceil(metrics.horizontalAdvance(row.title))));
        widestValue = std::max(widestValue, int(std::ceil(metrics.horizontalAdvance(row.value))));
    }
    const int titleWanted = widestTitle + cellPadding + columnGap;
    const int valueWanted = widestValue + cellPadding;
    const int shortestTitle = std::min(titleWanted, widestTitleWord(arrMetaInfo_, metrics) + cellPadding + columnGap);
    // Titles take their width unless a value would then be cut; they give way
    // down to a third of the table and go on over more lines, but never break
    // a word. A value wider still is elided (its cell's tool tip holds it
    // whole). Titles on two lines may make the table scroll, and the scroller
    // takes its width from the values: a second pass fits them again.
    for (int pass = 0; pass < 2; ++pass) {
        const bool scrolls = tblMetaInfo_->verticalHeader()->length() > tblMetaInfo_->height();
        const int available
            = tblMetaInfo_->width() - (scrolls ? tblMetaInfo_->verticalScrollBar()->sizeHint().width() : 0);
        const int title = std::max(
            { std::min(titleWanted, available / 3), std::min(titleWanted, available - valueWanted), shortestTitle });
        tblMetaInfo_->setColumnWidth(0, std::max(0, title));
        fitMetaInfoRows();
        if (scrolls == (tblMetaInfo_->verticalHeader()->length() > tblMetaInfo_->height()))
            break;
    }
}

void PreviewPane::fitMetaInfoRows()
{
    // The width the title's cell draws its text in, as the style sets it.
    const QFontMetrics metrics(tblMetaInfo_->font());
    const int textMargins
        = 2 * (tblMetaInfo_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tblMetaInfo_) + 1);
    const int textWidth = std::max(1, tblMetaInfo_->columnWidth(0) - textMargins - columnGap);
    for (int row = 0; row < int(arrMetaInfo_.size()); ++row) {
        const QRect wrapped
            = metrics.boundingRect(QRect(0, 0, textWidth, 10000), Qt::TextWordWrap, arrMetaInfo_[size_t(row)].title);
        tblMetaInfo_->setRowHeight(row, std::max(rowHeight, wrapped.height() + rowHeight - metrics.height()));
    }
}

void PreviewPane::addMetaInfoRow(const QString& title, const QString& value)
{
    // A value read from the file (its name, a camera's text) on one line.
    arrMetaInfo_.push_back({ title, value.isEmpty() ? noValue : printablePath(value) });
}

void PreviewPane::fillMetaInfoTable(const FileInfoNodePtr& file)
{
    arrMetaInfo_.clear();
    detailsFile_ = file;
    showLockReason(file.get());
    if (file && PictureMetadataLoader::needsReading(*file, source_)) {
        metadataLoader_->request(file);
    } else if (file) {
        for (const MetaInfoRow& row : metaInfoRows(*file, source_))
            addMetaInfoRow(row.title, row.value);
    }
    reloadTable();
}

void PreviewPane::showLockReason(const FileInfoNode* file)
{
    const QString reason = file ? lockedReason(*file) : QString();
    if (reason == lblLockReason_->text() && reason.isEmpty() == lblLockReason_->isHidden())
        return;
    lblLockReason_->setText(reason);
    lblLockReason_->setHidden(reason.isEmpty());
    layOutDetails();
}

void PreviewPane::lockChanged(const FileInfoNodePtr& file)
{
    if (file && file == detailsFile_.lock())
        showLockReason(file.get());
}

void PreviewPane::metadataRead(const FileInfoNodePtr& file)
{
    if (file && file == detailsFile_.lock())
        fillMetaInfoTable(file);
}

void PreviewPane::reloadTable()
{
    tblMetaInfo_->setRowCount(int(arrMetaInfo_.size()));
    for (int row = 0; row < int(arrMetaInfo_.size()); ++row) {
        auto* title = new QTableWidgetItem(arrMetaInfo_[size_t(row)].title);
        title->setForeground(captionColor);
        title->setToolTip(arrMetaInfo_[size_t(row)].title);
        auto* value = new QTableWidgetItem(arrMetaInfo_[size_t(row)].value);
        value->setToolTip(arrMetaInfo_[size_t(row)].value);
        tblMetaInfo_->setItem(row, 0, title);
        tblMetaInfo_->setItem(row, 1, value);
    }
    fitMetaInfoColumns();
}

void PreviewPane::updatePreview(const FileInfoNodePtr& file)
{
    Log::print(QStringLiteral("updatePreview_MainThread"));
    graphView_->hide();
    metaInfoView_->show();
    // Whatever was shown or on its way belongs to another file.
    loader_->cancel();
    if (thumbnailReply_)
        thumbnailReply_->abort();
    previewForFiles_->clear();
    previewPath_.clear();
    if (!file) {
        imgPhotoLib_->hide();
        return;
    }
    previewPath_ = file->filePath.value_or(QString());
    imgPhotoLib_->setVisible(source_ == ScanSource::thisComputer && file->isPhotosNode);
    imgPhotoLib_->raise();
    if (previewPath_.isEmpty())
        return;
    const QUrl link(file->cloud ? file->cloud->googleDriveThumbnailLink.value_or(QString()) : QString());
    if (source_ == ScanSource::googleDrive && file->fileCategory == GlobalObjects::FileCategory::Pic && file->cloud
        && file->cloud->googleDriveFile && !file->cloud->googleDriveFile->thumbnailLink.isEmpty()) {
        fetchThumbnail(link);
        return;
    }
    if (source_ != ScanSource::thisComputer) {
        // A cloud file is not on this disk: its type tells the icon.
        previewForFiles_->setIcon(typeIconForPath(previewPath_), QSize(iconSide, iconSide));
        return;
    }
    const qreal ratio = devicePixelRatioF();
    loader_->request(previewPath_, (previewForFiles_->size() * ratio).expandedTo(QSize(1, 1)), false);
}

void PreviewPane::fetchThumbnail(const QUrl& link)
{
    // Only a web address is fetched: a link naming a local file or another
    // scheme is no thumbnail. A failed fetch leaves the preview empty.
    if (!link.isValid() || (link.scheme() != QLatin1String("https") && link.scheme() != QLatin1String("http")))
        return;
    // Fetched where the listing said (no redirect is followed); a whole
    // picture within the time and size, however its answer goes on.
    if (!network_)
        network_ = new BoundedNetworkAccess(HttpLimits::within(largestThumbnailBytes, thumbnailTimeoutMs), this);
    QNetworkReply* reply = network_->get(QNetworkRequest(link));
    thumbnailReply_ = reply;
    const QString path = previewPath_;
    connect(reply, &QNetworkReply::finished, this, [this, reply, path] {
        reply->deleteLater();
        if (reply != thumbnailReply_ || path != previewPath_ || reply->error() != QNetworkReply::NoError)
            return;
        const qreal ratio = devicePixelRatioF();
        loader_->requestData(path, reply->readAll(), (previewForFiles_->size() * ratio).expandedTo(QSize(1, 1)));
    });
}

void PreviewPane::pictureLoaded(const QString& path, const PreviewContent& content)
{
    if (path != previewPath_)
        return;
    if (!content.picture.isNull()) {
        QImage picture = content.picture;
        picture.setDevicePixelRatio(devicePixelRatioF());
        previewForFiles_->setImage(picture);
    } else {
        previewForFiles_->setIcon(typeIcon(content), QSize(iconSide, iconSide));
    }
}

void PreviewPane::showGraphView()
{
    loader_->cancel();
    metaInfoView_->hide();
    graphView_->show();
}
