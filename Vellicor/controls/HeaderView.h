#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

class QPainter;

// The header above each section of the thumbnail grid (one section per group
// of duplicates): a header band with the group's title on the left and its
// count and size line on the right. The grid fills the two texts; a title
// too long for the band is shortened in its middle. GUI thread only.
class HeaderView : public QWidget {
    Q_OBJECT

public:
    explicit HeaderView(QWidget* parent = nullptr);

    QString sectionTitle() const { return sectionTitle_; }
    void setSectionTitle(const QString& title);
    QString imageCount() const { return imageCount_; }
    void setImageCount(const QString& count);

    // The band with its two texts drawn over frame: the grid draws every
    // header of its sections this way, in the same pass as their items.
    static void paint(QPainter& painter, const QRect& frame, const QString& title, const QString& count);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString sectionTitle_;
    QString imageCount_;
};
