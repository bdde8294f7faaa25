#pragma once

#include <QIcon>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <memory>

class QPainter;
class QSvgRenderer;

// An image the screens name ("blue_left_btn", "header_mid", …): one of our own
// drawings compiled in as ":/resources/images/<name>.svg". It is rendered at
// the size it is drawn, so it stays crisp at any device-pixel ratio. Loaded
// images are shared and kept for the run; GUI thread only.
class NamedImage {
public:
    NamedImage() = default;

    // A null image when no image has that name (logged once per name).
    static NamedImage load(const QString& name);

    bool isNull() const { return !renderer_; }
    // The drawn size in points; empty for a null image.
    QSizeF naturalSize() const;
    // Stretches the image over target; a null image draws nothing.
    void draw(QPainter& painter, const QRectF& target) const;
    // As large as fits in frame with its proportions kept, centred in it.
    void drawCentred(QPainter& painter, const QRectF& frame) const;

private:
    explicit NamedImage(std::shared_ptr<QSvgRenderer> renderer);
    std::shared_ptr<QSvgRenderer> renderer_;
};

// Draws a start cap, a stretched middle and an end cap across frame, left to
// right or (vertical) top to bottom. The caps keep their proportions at the
// frame's height (width when vertical) and shrink together when the frame is
// too short for both. Nothing is drawn when any of the three images is null,
// so a half-configured bar never shows a broken shape.
void drawThreePartImage(QPainter& painter, const QRectF& frame, const NamedImage& start, const NamedImage& middle,
    const NamedImage& end, bool vertical);

// The named image as an icon (a menu item's, a list's): drawn afresh at each
// size and scale it is asked for; a disabled icon is drawn faded.
QIcon namedIcon(const QString& name);
