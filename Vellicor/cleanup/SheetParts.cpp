#include "cleanup/SheetParts.h"

#include "controls/ButtonKeys.h"
#include "controls/GradientBox.h"
#include "controls/IMGButton.h"
#include "controls/SheetPanel.h"

#include <QFontMetrics>
#include <QFrame>
#include <QLabel>

#include <algorithm>

QFrame* makeSheetBox(QWidget* window, const char* name, int height)
{
    window->setFixedSize(sheetWidth, height);
    auto* box = new QFrame(window);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(0, 0, sheetWidth, height);
    box->setStyleSheet(QStringLiteral("QFrame#%1 { background: rgb(38, 38, 38); border: 1px solid rgb(70, 70, 70); }"
                                      "QLabel { color: rgb(208, 210, 213); background: transparent; border: none; }")
                           .arg(QString::fromLatin1(name)));
    return box;
}

GradientBox* makeHeader(QFrame* box, QLabel*& title, const QString& titleText)
{
    // Inside the box's one-point edge.
    GradientBox* header = makeSheetHeader(box, sheetWidth - 2, sheetHeaderHeight);
    header->move(1, 1);
    title = new QLabel(titleText, header);
    // Long titles of some languages take a smaller size rather than be cut.
    QFont font = title->font();
    font.setBold(true);
    title->setFont(fittingFont(font, 15, 10, { { titleText, sheetWidth - 40 } }));
    title->setStyleSheet(QStringLiteral("color: white;"));
    title->setGeometry(20, 0, sheetWidth - 40, sheetHeaderHeight);
    return header;
}

QFont fittingFont(QFont font, int largest, int smallest, const std::vector<std::pair<QString, int>>& texts)
{
    for (int size = largest; size >= smallest; --size) {
        font.setPointSize(size);
        const QFontMetrics metrics(font);
        if (std::all_of(texts.begin(), texts.end(),
                [&metrics](const auto& text) { return metrics.horizontalAdvance(text.first) <= text.second; }))
            break;
    }
    return font;
}

QLabel* makeLabel(QWidget* parent, const QString& value, const QRect& frame, int pointSize)
{
    auto* label = new QLabel(value, parent);
    QFont font = label->font();
    font.setPointSize(pointSize);
    label->setFont(font);
    label->setWordWrap(true);
    label->setGeometry(frame);
    return label;
}

IMGButton* makeBlueButton(QWidget* parent, const QString& title, const QRect& frame)
{
    auto* button = new IMGButton(parent);
    const QString left = QStringLiteral("blue_btn_sm_left");
    const QString mid = QStringLiteral("blue_btn_sm_mid");
    const QString right = QStringLiteral("blue_btn_sm_right");
    button->setButtonsImages(left, mid, right, left, mid, right, left, mid, right);
    button->setText(title);
    button->setMakeBoldFont(true);
    button->setFontSizeForButton(14);
    button->setGeometry(frame);
    setDefaultButton(button);
    return button;
}
