#include "home/HomeLook.h"

#include "controls/ApplicationFont.h"
#include "core/Localization.h"

#include <QFrame>

QFrame* makeHomeBox(const char* objectName, QWidget* parent, const QColor& fill, int radius, const QColor& border)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(homeName(objectName));
    QString sheet = QStringLiteral("QFrame#%1 { background: %2; border-radius: %3px; %4 }")
                        .arg(frame->objectName(), fill.name())
                        .arg(radius)
                        .arg(border.isValid() ? QStringLiteral("border: 1px solid %1;").arg(border.name()) : QString());
    frame->setStyleSheet(sheet);
    return frame;
}

QLabel* makeHomeLabel(const char* objectName, QWidget* parent, int fontSize, bool bold)
{
    auto* l = new QLabel(parent);
    l->setObjectName(homeName(objectName));
    l->setFont(systemFontOfSize(fontSize, bold ? QFont::Bold : QFont::Normal));
    setLabelColor(l, Qt::white);
    return l;
}

void setLabelColor(QLabel* label, const QColor& color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

void setLocalizedTexts(QWidget* root, std::initializer_list<std::pair<const char*, const char*>> labelKeys)
{
    for (const auto& [objectName, key] : labelKeys) {
        if (auto* label = root->findChild<QLabel*>(homeName(objectName)))
            label->setText(localizedText(key));
    }
}

