#include "results/ResultsWidgets.h"

#include "controls/ApplicationFont.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>

namespace ResultsLook {

QWidget* box(const char* objectName, QWidget* parent, const QColor& color)
{
    auto* widget = new QWidget(parent);
    widget->setObjectName(name(objectName));
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    return widget;
}

QLabel* label(const char* objectName, QWidget* parent, int fontSize, bool bold, const QColor& color)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name(objectName));
    l->setFont(systemFontOfSize(fontSize, bold ? QFont::Bold : QFont::Normal));
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, color);
    l->setPalette(palette);
    return l;
}

} // namespace ResultsLook

void IconButton::setImageName(const QString& image)
{
    image_ = NamedImage::load(image);
    update();
}

void IconButton::paintEvent(QPaintEvent* event)
{
    const QSizeF natural = image_.naturalSize();
    if (natural.isEmpty()) {
        RAZButton::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QSizeF size = natural.scaled(QSizeF(18, 18), Qt::KeepAspectRatio);
    const bool titled = !text().isEmpty();
    const QRectF frame = rect();
    cell().drawBezelWithFrame(painter, frame, isEnabled(), isDown());
    // A title is centred in the room right of the image, so a narrow
    // button never draws one over the other.
    cell().drawTitle(painter, text(), font(), titled ? frame.adjusted(14 + size.width(), 0, 0, 0) : frame, isEnabled());
    painter.setOpacity(isEnabled() ? 1.0 : 0.45);
    const double x = titled ? 10 : (width() - size.width()) / 2;
    image_.draw(painter, QRectF(QPointF(x, (height() - size.height()) / 2), size));
    painter.setOpacity(1.0);
    drawFocusRing(painter);
}

ImageView::ImageView(const QString& image, QWidget* parent)
    : ImageLabel(image, parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

ResizeHook::ResizeHook(std::function<void()> work, QObject* parent)
    : QObject(parent)
    , work_(std::move(work))
{
}

bool ResizeHook::eventFilter(QObject*, QEvent* event)
{
    if (event->type() == QEvent::Resize)
        work_();
    return false;
}
