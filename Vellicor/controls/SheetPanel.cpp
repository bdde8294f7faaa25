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
#include <optional>

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
    // Off, it fades into the sheet: a button that takes nothing must not look
    // like one Enter presses.
    button->setButtonsImages(s, m, e, s, m, e, QStringLiteral("blue_btn_sm_dis_left"),
        QStringLiteral("blue_btn_sm_dis_mid"), QStringLiteral("blue_btn_sm_dis_right"));
    const QColor greyed(150, 160, 176);
    button->setColorOnState(Qt::white);
    button->setColorOffState(Qt::white);
    button->setColorOffStateDis(greyed);
    button->setColorOnStateDis(greyed);
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

// Keeps a sheet that covers the whole of its parent over it: a sheet of its
// own window over the parent's window, as that window moves or changes size;
// a sheet laid inside its parent over the parent, as that changes size. The
// veil fills it and the panel stays centred. A sheet shown again, however
// late, takes the place of the window as it is then, not as it was when the
// sheet was laid out.
class SheetFollower : public QObject {
public:
    SheetFollower(QWidget* sheet, QWidget* panel)
        : QObject(sheet)
        , sheet_(sheet)
        , panel_(panel)
    {
        setObjectName(QStringLiteral("sheetFollower"));
        sheet->installEventFilter(this);
        follow(panel);
    }

    // Laid out again: the panel may be another, and the sheet may have been
    // given another parent (a sheet shown over whichever window is modal).
    void follow(QWidget* panel)
    {
        panel_ = panel;
        QWidget* covered = sheet_->isWindow() ? sheet_->parentWidget()->window() : sheet_->parentWidget();
        if (covered == covered_)
            return;
        if (covered_)
            covered_->removeEventFilter(this);
        covered_ = covered;
        covered_->installEventFilter(this);
    }

    // The whole of what the sheet covers, as its geometry takes it: the
    // window's place on the screen, or the parent's own rectangle.
    static std::optional<QRect> coveredArea(const QWidget* sheet)
    {
        const QWidget* parent = sheet->parentWidget();
        if (!parent)
            return std::nullopt;
        return sheet->isWindow() ? parent->window()->geometry() : parent->rect();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const bool coveredChanged
            = watched == covered_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move);
        const bool shown = watched == sheet_ && event->type() == QEvent::Show;
        if (panel_ && covered_ && ((coveredChanged && sheet_->isVisible()) || shown)) {
            const std::optional<QRect> area = coveredArea(sheet_);
            if (area && (*area != sheet_->geometry() || shown))
                layOutSheetOver(sheet_, panel_, *area);
        }
        return false;
    }

private:
    QWidget* sheet_;
    QPointer<QWidget> panel_;
    QPointer<QWidget> covered_;
};

} // namespace

void layOutSheetOver(QWidget* window, QWidget* panel, const QRect& area)
{
    if (SheetFollower::coveredArea(window) == area) {
        auto* follower = window->findChild<SheetFollower*>(QStringLiteral("sheetFollower"), Qt::FindDirectChildrenOnly);
        if (follower)
            follower->follow(panel);
        else
            new SheetFollower(window, panel);
    }
    window->setGeometry(area);
    if (auto* veil = window->findChild<BlackView*>(QStringLiteral("veil"), Qt::FindDirectChildrenOnly))
        veil->setGeometry(QRect(QPoint(), area.size()));
    panel->move((area.width() - panel->width()) / 2, std::max(0, (area.height() - panel->height()) / 2));
    panel->raise();
}
