#include "controls/GradientBox.h"

#include "controls/NamedImage.h"

#include <QPainter>

GradientBox::GradientBox(QWidget* parent)
    : QWidget(parent)
{
}

void GradientBox::setBackgroundImage(const QString& name)
{
    bgImage_ = name;
    bgImage_St_ = name;
    bgImage_En_ = name;
}

void GradientBox::setBackgroundImages(const QString& start, const QString& middle, const QString& end)
{
    bgImage_St_ = start;
    bgImage_ = middle;
    bgImage_En_ = end;
}

void GradientBox::paintEvent(QPaintEvent*)
{
    if (!bgImage_St_ || !bgImage_ || !bgImage_En_)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    drawThreePartImage(painter, rect(), NamedImage::load(*bgImage_St_), NamedImage::load(*bgImage_),
        NamedImage::load(*bgImage_En_), isRepeatVertically_);
}
