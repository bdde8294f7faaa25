#include "controls/ImageLabel.h"

#include <QPainter>

ImageLabel::ImageLabel(const QString& image, QWidget* parent)
    : QLabel(parent)
    , image_(NamedImage::load(image))
{
}

ImageLabel* ImageLabel::make(const char* objectName, QWidget* parent)
{
    const QString name = QString::fromLatin1(objectName);
    auto* label = new ImageLabel(name, parent);
    label->setObjectName(name);
    return label;
}

void ImageLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    image_.drawCentred(painter, rect());
}
