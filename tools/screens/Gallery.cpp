#include "Gallery.h"

#include "controls/ApplicationFont.h"
#include "core/GlobalObjects.h"

#include <QFile>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPainter>
#include <QWidget>

#include <algorithm>

namespace {

qreal scaleValue = 1.0;
constexpr int margin = 24;
constexpr int gap = 20;
constexpr int captionGap = 6;
const QColor captionColor(150, 152, 156);
const QColor titleColor(230, 231, 233);

} // namespace

std::vector<GalleryPage>& galleryPages()
{
    static std::vector<GalleryPage> pages;
    return pages;
}

GalleryRegistration::GalleryRegistration(const char* name, std::function<QImage()> render)
{
    galleryPages().push_back({ QString::fromUtf8(name), std::move(render) });
}

qreal galleryScale()
{
    return scaleValue;
}

void setGalleryScale(qreal scale)
{
    scaleValue = scale;
}

QImage renderWidget(QWidget& widget)
{
    widget.ensurePolished();
    QImage image(widget.size() * galleryScale(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(galleryScale());
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

GallerySheet::GallerySheet(const QString& title, const QColor& background)
    : title_(title)
    , background_(background)
{
    rows_.push_back({});
}

void GallerySheet::addSample(const QString& caption, QWidget& widget)
{
    rows_.back().samples.push_back({ caption, renderWidget(widget) });
}

void GallerySheet::newRow(const QString& heading)
{
    rows_.push_back({ heading, {} });
}

QImage GallerySheet::image() const
{
    const QFont titleFont = systemFontOfSize(18, QFont::Bold);
    const QFont headingFont = systemFontOfSize(13, QFont::Bold);
    const QFont captionFont = systemFontOfSize(11);
    const int titleHeight = QFontMetrics(titleFont).height();
    const int headingHeight = QFontMetrics(headingFont).height();
    const int captionHeight = QFontMetrics(captionFont).height();

    const auto logicalSize = [](const QImage& picture) { return picture.deviceIndependentSize().toSize(); };
    int width = margin * 2 + QFontMetrics(titleFont).horizontalAdvance(title_);
    int height = margin + titleHeight + gap;
    for (const Row& row : rows_) {
        if (row.samples.empty() && row.heading.isEmpty())
            continue;
        int rowWidth = margin;
        int rowHeight = 0;
        for (const Sample& sample : row.samples) {
            const QSize size = logicalSize(sample.picture);
            const int captionWidth = QFontMetrics(captionFont).horizontalAdvance(sample.caption);
            rowWidth += std::max(size.width(), captionWidth) + gap;
            rowHeight = std::max(rowHeight, size.height());
        }
        width = std::max(width, rowWidth + margin - gap);
        height
            += (row.heading.isEmpty() ? 0 : headingHeight + captionGap) + rowHeight + captionGap + captionHeight + gap;
    }
    height += margin - gap;

    QImage sheet(QSize(width, height) * galleryScale(), QImage::Format_ARGB32_Premultiplied);
    sheet.setDevicePixelRatio(galleryScale());
    sheet.fill(background_);
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(titleColor);
    painter.setFont(titleFont);
    int y = margin;
    painter.drawText(QRect(margin, y, width, titleHeight), Qt::AlignLeft | Qt::AlignVCenter, title_);
    y += titleHeight + gap;
    for (const Row& row : rows_) {
        if (row.samples.empty() && row.heading.isEmpty())
            continue;
        if (!row.heading.isEmpty()) {
            painter.setPen(titleColor);
            painter.setFont(headingFont);
            painter.drawText(QRect(margin, y, width, headingHeight), Qt::AlignLeft | Qt::AlignVCenter, row.heading);
            y += headingHeight + captionGap;
        }
        int x = margin;
        int rowHeight = 0;
        for (const Sample& sample : row.samples)
            rowHeight = std::max(rowHeight, logicalSize(sample.picture).height());
        painter.setFont(captionFont);
        painter.setPen(captionColor);
        for (const Sample& sample : row.samples) {
            const QSize size = logicalSize(sample.picture);
            painter.drawImage(QPoint(x, y + (rowHeight - size.height()) / 2), sample.picture);
            const int captionWidth = QFontMetrics(captionFont).horizontalAdvance(sample.caption);
            const int columnWidth = std::max(size.width(), captionWidth);
            painter.drawText(QRect(x, y + rowHeight + captionGap, columnWidth, captionHeight),
                Qt::AlignLeft | Qt::AlignVCenter, sample.caption);
            x += columnWidth + gap;
        }
        y += rowHeight + captionGap + captionHeight + gap;
    }
    return sheet;
}

void pointXdgFoldersInto(const QString& folder)
{
    for (const char* variable : { "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME" })
        qputenv(variable, QFile::encodeName(folder + QLatin1Char('/') + QLatin1String(variable)));
}

QImage takeAlertBox(QWidget& owner)
{
    const QList<QMessageBox*> boxes = owner.findChildren<QMessageBox*>();
    if (boxes.isEmpty())
        return QImage();
    QMessageBox* box = boxes.last();
    box->adjustSize();
    const QImage image = renderDialog(*box);
    delete box;
    return image;
}

QImage renderDialog(QWidget& dialog)
{
    // A dialog has its own background, which a sample on a sheet must keep.
    QImage image(dialog.size() * galleryScale(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(galleryScale());
    image.fill(dialog.palette().color(QPalette::Window));
    dialog.render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    return image;
}

KeptLanguage::KeptLanguage()
    : saved_(currentLanguageCode)
{
}

KeptLanguage::~KeptLanguage()
{
    currentLanguageCode = saved_;
}
