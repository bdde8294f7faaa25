#include "cleanup/ResultAreaViews.h"

#include "core/Localization.h"

#include <QFrame>
#include <QLabel>
#include <QResizeEvent>

namespace {

constexpr int boxWidth = 460;
constexpr int boxHeight = 130;

QLabel* makeCentred(
    QWidget* parent, const char* objectName, const char* key, int pointSize, bool bold, const char* colour, int y)
{
    auto* label = new QLabel(localizedText(QString::fromLatin1(key)), parent);
    label->setObjectName(QString::fromLatin1(objectName));
    QFont font = label->font();
    font.setPointSize(pointSize);
    font.setBold(bold);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(QString::fromLatin1(colour)));
    label->setGeometry(0, y, boxWidth, pointSize * 2 + 4);
    return label;
}

void centreBelowMiddle(QWidget* box, const QSize& area)
{
    box->move((area.width() - boxWidth) / 2, (area.height() - boxHeight) / 2 + 30);
}

} // namespace

SuccessView::SuccessView(QWidget* parent)
    : QWidget(parent)
{
    boxCongrats = new QFrame(this);
    boxCongrats->resize(boxWidth, boxHeight);
    lblCongratulations = makeCentred(boxCongrats, "lblCongratulations", "ID_CONGRATULATIONS", 24, true, "white", 0);
    lblAllDupsDeleted = makeCentred(
        boxCongrats, "lblAllDupsDeleted", "ID_ALL_DUPLICATES_DELETED", 15, false, "rgb(208, 210, 213)", 60);
    lblAllDupsDeletedHint = makeCentred(
        boxCongrats, "lblAllDupsDeletedHint", "ID_HINT_TRY_SCANNING_ANOTHER_PATH", 12, false, "rgb(150, 150, 150)", 96);
}

void SuccessView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    centreBelowMiddle(boxCongrats, event->size());
}

NoDuplicatesView::NoDuplicatesView(QWidget* parent)
    : QWidget(parent)
{
    lblNoDupsFound = makeCentred(this, "lblNoDupsFound", "ID_NO_DUPLICATES_FOUND", 20, true, "white", 0);
    lblNoDupsFoundHint = makeCentred(
        this, "lblNoDupsFoundHint", "ID_HINT_TRY_SCANNING_ANOTHER_PATH", 12, false, "rgb(150, 150, 150)", 0);
}

void NoDuplicatesView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int x = (event->size().width() - boxWidth) / 2;
    const int y = event->size().height() / 2 - 30;
    lblNoDupsFound->move(x, y);
    lblNoDupsFoundHint->move(x, y + 50);
}
