#pragma once

#include <QString>
#include <QWidget>

#include <optional>

// A box painted from a three-part image (start cap, stretched middle, end
// cap) instead of a border: the header bars of the screens. Until all three
// images are named, or when one of them does not exist, it draws nothing.
class GradientBox : public QWidget {
    Q_OBJECT

public:
    explicit GradientBox(QWidget* parent = nullptr);

    // The image setters leave the redraw to the caller, as the screens set
    // the images before the box is first shown.
    // One image for all three parts.
    void setBackgroundImage(const QString& name);
    void setBackgroundImages(const QString& start, const QString& middle, const QString& end);
    // The middle image alone.
    void setBgImage(const std::optional<QString>& name) { bgImage_ = name; }

    bool isRepeatVertically() const { return isRepeatVertically_; }
    void setRepeatVertically(bool vertical) { isRepeatVertically_ = vertical; }
    std::optional<QString> bgImage() const { return bgImage_; }
    std::optional<QString> bgImage_St() const { return bgImage_St_; }
    std::optional<QString> bgImage_En() const { return bgImage_En_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool isRepeatVertically_ = false;
    std::optional<QString> bgImage_;
    std::optional<QString> bgImage_St_;
    std::optional<QString> bgImage_En_;
};
