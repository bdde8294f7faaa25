#pragma once

#include "controls/NamedImage.h"

#include <QLabel>
#include <QString>

// A picture drawn from one of our named images, centred and scaled to the
// label.
class ImageLabel : public QLabel {
public:
    ImageLabel(const QString& image, QWidget* parent);
    // The image under objectName, in a label of that name.
    static ImageLabel* make(const char* objectName, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    NamedImage image_;
};
