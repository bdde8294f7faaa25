#include "controls/NamedImage.h"

#include "base/Log.h"

#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

NamedImage::NamedImage(std::shared_ptr<QSvgRenderer> renderer)
    : renderer_(std::move(renderer))
{
}

NamedImage NamedImage::load(const QString& name)
{
    // A null entry remembers a name that has no image, so it is logged once.
    static QHash<QString, std::shared_ptr<QSvgRenderer>> loaded;
    const auto found = loaded.constFind(name);
    if (found != loaded.constEnd())
        return NamedImage(found.value());

    std::shared_ptr<QSvgRenderer> renderer;
    const QString path = QStringLiteral(":/resources/images/") + name + QStringLiteral(".svg");
    if (!name.isEmpty() && QFile::exists(path)) {
        renderer = std::make_shared<QSvgRenderer>(path);
        if (!renderer->isValid())
            renderer.reset();
    }
    if (!renderer)
        Log::print("No image named", name);
    loaded.insert(name, renderer);
    return NamedImage(renderer);
}

QSizeF NamedImage::naturalSize() const
{
    return renderer_ ? renderer_->viewBoxF().size() : QSizeF();
}

void NamedImage::draw(QPainter& painter, const QRectF& target) const
{
    if (!renderer_ || target.isEmpty())
        return;
    // The renderer draws what lies outside the view box too.
    painter.save();
    painter.setClipRect(target, Qt::IntersectClip);
    renderer_->render(&painter, target);
    painter.restore();
}

void NamedImage::drawCentred(QPainter& painter, const QRectF& frame) const
{
    const QSizeF natural = naturalSize();
    if (natural.isEmpty())
        return;
    const QSizeF size = natural.scaled(frame.size(), Qt::KeepAspectRatio);
    draw(painter,
        QRectF(
            QPointF(frame.x() + (frame.width() - size.width()) / 2, frame.y() + (frame.height() - size.height()) / 2),
            size));
}

namespace {

// The length of a cap along the bar when its thickness is scaled to the bar's.
qreal capLength(const NamedImage& cap, qreal thickness, bool vertical)
{
    const QSizeF size = cap.naturalSize();
    const qreal along = vertical ? size.height() : size.width();
    const qreal across = vertical ? size.width() : size.height();
    return across > 0 ? std::round(along * thickness / across) : 0;
}

} // namespace

void drawThreePartImage(QPainter& painter, const QRectF& frame, const NamedImage& start, const NamedImage& middle,
    const NamedImage& end, bool vertical)
{
    if (start.isNull() || middle.isNull() || end.isNull() || frame.isEmpty())
        return;
    const qreal length = vertical ? frame.height() : frame.width();
    const qreal thickness = vertical ? frame.width() : frame.height();
    qreal startLength = capLength(start, thickness, vertical);
    qreal endLength = capLength(end, thickness, vertical);
    if (startLength + endLength > length) {
        const qreal scale = length / (startLength + endLength);
        startLength = std::floor(startLength * scale);
        endLength = length - startLength;
    }
    const qreal middleLength = length - startLength - endLength;
    if (vertical) {
        start.draw(painter, QRectF(frame.x(), frame.y(), thickness, startLength));
        middle.draw(painter, QRectF(frame.x(), frame.y() + startLength, thickness, middleLength));
        end.draw(painter, QRectF(frame.x(), frame.bottom() - endLength, thickness, endLength));
    } else {
        start.draw(painter, QRectF(frame.x(), frame.y(), startLength, thickness));
        middle.draw(painter, QRectF(frame.x() + startLength, frame.y(), middleLength, thickness));
        end.draw(painter, QRectF(frame.right() - endLength, frame.y(), endLength, thickness));
    }
}

namespace {

class NamedIconEngine : public QIconEngine {
public:
    explicit NamedIconEngine(NamedImage image)
        : image_(std::move(image))
    {
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (mode == QIcon::Disabled)
            painter->setOpacity(painter->opacity() * 0.4);
        image_.drawCentred(*painter, rect);
        painter->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }
    QIconEngine* clone() const override { return new NamedIconEngine(image_); }

private:
    NamedImage image_;
};

} // namespace

QIcon namedIcon(const QString& name)
{
    return QIcon(new NamedIconEngine(NamedImage::load(name)));
}
