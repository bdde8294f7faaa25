#include "controls/OptionPopover.h"

#include "base/Log.h"
#include "controls/ApplicationFont.h"
#include "core/GlobalObjects.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int arrowHeight = 9;
constexpr int arrowHalfWidth = 10;
constexpr int cornerRadius = 8;
const QColor bubbleFill(47, 49, 52);
const QColor bubbleBorder(90, 93, 99);
const QColor headingColour(230, 231, 233);

// The bubble: a rounded panel with an arrow on its lower or upper edge,
// holding the popover's view.
class PopoverWindow : public QWidget {
public:
    PopoverWindow()
        : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint)
    {
        setAttribute(Qt::WA_TranslucentBackground);
        layout_ = new QVBoxLayout(this);
    }

    void setContent(QWidget* view) { layout_->addWidget(view); }

    void setArrowBelow(bool below)
    {
        arrowBelow_ = below;
        layout_->setContentsMargins(1, below ? 1 : arrowHeight + 1, 1, below ? arrowHeight + 1 : 1);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF all = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        const QRectF body = all.adjusted(0, arrowBelow_ ? 0 : arrowHeight, 0, arrowBelow_ ? -arrowHeight : 0);
        QPainterPath path;
        path.addRoundedRect(body, cornerRadius, cornerRadius);
        const qreal mid = all.center().x();
        QPainterPath arrow;
        if (arrowBelow_) {
            arrow.moveTo(mid - arrowHalfWidth, body.bottom() - 1);
            arrow.lineTo(mid, all.bottom());
            arrow.lineTo(mid + arrowHalfWidth, body.bottom() - 1);
        } else {
            arrow.moveTo(mid - arrowHalfWidth, body.top() + 1);
            arrow.lineTo(mid, all.top());
            arrow.lineTo(mid + arrowHalfWidth, body.top() + 1);
        }
        arrow.closeSubpath();
        painter.setPen(QPen(bubbleBorder, 1));
        painter.setBrush(bubbleFill);
        painter.drawPath(path.united(arrow).simplified());
    }

private:
    QVBoxLayout* layout_ = nullptr;
    bool arrowBelow_ = true;
};

} // namespace

OptionPopover::OptionPopover(QObject* parent)
    : QObject(parent)
{
}

OptionPopover::~OptionPopover()
{
    // The bubble owns the view once it holds it.
    delete popover_.data();
    delete view_.data();
}

QWidget* OptionPopover::view()
{
    if (!view_) {
        view_ = new QWidget;
        view_->setFixedSize(280, 64);
        auto* layout = new QVBoxLayout(view_);
        layout->setContentsMargins(14, 10, 14, 10);
        txtHeading_ = new QLabel(view_);
        txtHeading_->setWordWrap(true);
        txtHeading_->setAlignment(Qt::AlignCenter);
        txtHeading_->setFont(systemFontOfSize(13));
        QPalette palette = txtHeading_->palette();
        palette.setColor(QPalette::WindowText, headingColour);
        txtHeading_->setPalette(palette);
        layout->addWidget(txtHeading_);
        viewDidLoad();
    }
    return view_;
}

void OptionPopover::viewDidLoad()
{
    static const QStringList longerLanguages
        = { QStringLiteral("ja"), QStringLiteral("fi"), QStringLiteral("da"), QStringLiteral("es") };
    if (longerLanguages.contains(currentLanguageCode))
        txtHeading_->setFont(systemFontOfSize(11, QFont::Bold));
}

void OptionPopover::showPopover(QWidget* relativeTo)
{
    if (!relativeTo) {
        Log::print("OptionPopover: no view to show the popover at");
        return;
    }
    QWidget* content = view();
    auto* window = static_cast<PopoverWindow*>(popover_.data());
    if (!window) {
        window = new PopoverWindow;
        window->setContent(content);
        popover_ = window;
    }
    const QRect anchor(relativeTo->mapToGlobal(QPoint(0, 0)), relativeTo->size());
    window->setArrowBelow(true);
    window->adjustSize();
    const QSize size = window->sizeHint();
    QPoint topLeft(anchor.center().x() - size.width() / 2, anchor.top() - size.height());
    const QScreen* screen = relativeTo->screen() ? relativeTo->screen() : QGuiApplication::primaryScreen();
    if (screen && topLeft.y() < screen->availableGeometry().top()) {
        window->setArrowBelow(false);
        topLeft.setY(anchor.bottom() + 1);
    }
    window->move(topLeft);
    window->show();
}
