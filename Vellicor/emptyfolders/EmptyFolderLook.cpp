#include "emptyfolders/EmptyFolderLook.h"

#include "controls/ApplicationFont.h"
#include "controls/ButtonKeys.h"
#include "controls/ButtonStyles.h"
#include "controls/RAZButton.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

namespace EmptyFolderLook {

SheetPushButton::SheetPushButton(QWidget* parent)
    : QPushButton(parent)
{
    setAutoDefault(false);
}

void SheetPushButton::keyPressEvent(QKeyEvent* event)
{
    if (!clickOnEnter(this, event))
        QPushButton::keyPressEvent(event);
}

CloseMarkButton::CloseMarkButton(QWidget* parent)
    : SheetPushButton(parent)
{
    setFocusPolicy(Qt::TabFocus);
}

void CloseMarkButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc = QRectF(rect()).adjusted(1, 1, -1, -1);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isDown() ? QColor(90, 92, 96) : underMouse() ? QColor(74, 76, 80) : QColor(58, 60, 64));
    painter.drawEllipse(disc);
    painter.setPen(QPen(QColor(208, 210, 214), 1.6, Qt::SolidLine, Qt::RoundCap));
    const qreal inset = disc.width() * 0.32;
    const QRectF mark = disc.adjusted(inset, inset, -inset, -inset);
    painter.drawLine(mark.topLeft(), mark.bottomRight());
    painter.drawLine(mark.topRight(), mark.bottomLeft());
    drawFocusRingIfFocused(painter, this, width() / 2.0);
}

QString frameStyle(const QString& name, const QColor& fill, double borderWidth, bool openBottom)
{
    QString style = QStringLiteral("QFrame#%1 { background: %2; border: %3px solid %4;")
                        .arg(name, fill.name(), QString::number(borderWidth), lineColor.name());
    if (openBottom)
        style += QStringLiteral(" border-bottom: none;");
    return style + QStringLiteral(" }");
}

void setCaptionColor(QLabel* caption, const QColor& color)
{
    QPalette palette = caption->palette();
    palette.setColor(QPalette::WindowText, color);
    caption->setPalette(palette);
}

RAZButton* actionButton(QWidget* parent, const char* name, const QString& title, bool primary)
{
    auto* button = named<RAZButton>(parent, name);
    if (primary)
        applyHomeButtonStyle(button);
    else
        applyResultButtonStyle(button);
    button->setFont(systemFontOfSize(13));
    button->setText(title);
    return button;
}

FrameTable sheetFrames()
{
    return {
        { QStringLiteral("boxDeleteEmptyFolder"), { 0, 0, 640, 480 } },
        { QStringLiteral("btnCloseDeleteFolder"), { 610, 452, 20, 20 } },
        { QStringLiteral("boxBottomFirstTabForEmptyFolder"), { 20, 404, 170, 32 } },
        { QStringLiteral("boxBottomSecondTabForEmptyFolder"), { 189, 404, 170, 32 } },
        { QStringLiteral("textFirstTabForEmptyFolder"), { 0, 7, 170, 18 } },
        { QStringLiteral("textSecondTabForEmptyFolder"), { 0, 7, 170, 18 } },
        { QStringLiteral("btnScanEmptyFolders"), { 20, 404, 170, 32 } },
        { QStringLiteral("btnSettingForEmptyFolder"), { 189, 404, 170, 32 } },
        { QStringLiteral("containerViewEmptyFolder"), { 20, 64, 600, 341 } },
        { QStringLiteral("viewScanEmptyFolders"), { 0, 0, 600, 341 } },
        { QStringLiteral("viewSettings"), { 0, 0, 600, 341 } },
        { QStringLiteral("lblFolderPath"), { 16, 297, 376, 28 } },
        { QStringLiteral("lblFolderPathHint"), { 1, 0, 372, 28 } },
        { QStringLiteral("btnBrowse"), { 402, 297, 88, 28 } },
        { QStringLiteral("btnScanFolders"), { 498, 297, 86, 28 } },
        { QStringLiteral("outlineViewFolderList"), { 16, 62, 568, 225 } },
        { QStringLiteral("boxEmptyDirectories"), { 16, 12, 568, 42 } },
        { QStringLiteral("lblEmptyDirectories"), { 10, 1, 548, 40 } },
        { QStringLiteral("lblSettingsDescription"), { 20, 180, 560, 140 } },
        { QStringLiteral("boxBottomDeleteEmpFolders"), { 0, 0, 640, 60 } },
        { QStringLiteral("boxIconDescription"), { 20, 21, 16, 16 } },
        { QStringLiteral("lblIconDescription"), { 42, 19, 200, 20 } },
        { QStringLiteral("btnCancel"), { 306, 16, 96, 30 } },
        { QStringLiteral("btnUndo"), { 412, 16, 96, 30 } },
        { QStringLiteral("btnDeleteFolders"), { 518, 16, 102, 30 } },
    };
}

} // namespace EmptyFolderLook
