#include "controls/SheetPanel.h"

#include "controls/ApplicationFont.h"
#include "controls/BlackView.h"
#include "controls/ButtonKeys.h"
#include "controls/CustomWindowNag.h"
#include "controls/GradientBox.h"
#include "controls/IMGButton.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>

#include <algorithm>

void SheetPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(QColor(78, 78, 80));
    painter.setBrush(QColor(40, 40, 42));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

QLabel* makeSheetLabel(QWidget* parent, const QString& objectName, const QString& text, int size, const QColor& colour,
    QFont::Weight weight)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setFont(systemFontOfSize(size, weight));
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

IMGButton* makeSheetDefaultButton(QWidget* parent, const QString& objectName)
{
    auto* button = new IMGButton(parent);
    button->setObjectName(objectName);
    const QString s = QStringLiteral("blue_btn_sm_left"), m = QStringLiteral("blue_btn_sm_mid"),
                  e = QStringLiteral("blue_btn_sm_right");
    button->setButtonsImages(s, m, e, s, m, e, s, m, e);
    button->setColorOnState(Qt::white);
    button->setColorOffStateDis(Qt::white);
    button->setColorOnStateDis(Qt::white);
    button->setMakeBoldFont(true);
    button->setFontSizeForButton(14);
    setDefaultButton(button);
    return button;
}

CustomWindowNag* makeSheetWindow(QWidget* parent, const QString& objectName)
{
    auto* window = new CustomWindowNag(parent);
    window->setObjectName(objectName);
    window->setWindowModality(Qt::WindowModal);
    auto* veil = new BlackView(window);
    veil->setObjectName(QStringLiteral("veil"));
    return window;
}

GradientBox* makeSheetHeader(QWidget* panel, int width, int height)
{
    auto* header = new GradientBox(panel);
    header->setGeometry(0, 0, width, height);
    header->setBackgroundImages(
        QStringLiteral("header_left"), QStringLiteral("header_mid"), QStringLiteral("header_right"));
    return header;
}

namespace {

// Keeps a sheet that covers its whole parent over it as the parent (the
// screen, with the window) changes size: the veil fills it and the panel
// stays centred.
class SheetFollower : public QObject {
public:
    SheetFollower(QWidget* window, QWidget* panel)
        : QObject(window)
        , window_(window)
        , panel_(panel)
    {
        setObjectName(QStringLiteral("sheetFollower"));
        window->parentWidget()->installEventFilter(this);
    }
    void setPanel(QWidget* panel) { panel_ = panel; }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize && watched == window_->parentWidget() && panel_ && window_->isVisible())
            layOutSheetOver(window_, panel_, window_->parentWidget()->rect());
        return false;
    }

private:
    QWidget* window_;
    QPointer<QWidget> panel_;
};

} // namespace

void layOutSheetOver(QWidget* window, QWidget* panel, const QRect& area)
{
    QWidget* parent = window->isWindow() ? nullptr : window->parentWidget();
    if (parent && area == parent->rect()) {
        auto* follower = window->findChild<SheetFollower*>(QStringLiteral("sheetFollower"), Qt::FindDirectChildrenOnly);
        if (follower)
            follower->setPanel(panel);
        else
            new SheetFollower(window, panel);
    }
    window->setGeometry(area);
    if (auto* veil = window->findChild<BlackView*>(QStringLiteral("veil"), Qt::FindDirectChildrenOnly))
        veil->setGeometry(QRect(QPoint(), area.size()));
    panel->move((area.width() - panel->width()) / 2, std::max(0, (area.height() - panel->height()) / 2));
    panel->raise();
}
