#pragma once

#include <QAbstractButton>
#include <QColor>

#include <optional>

// A button whose title looks like a hyperlink: underlined and coloured, with
// a pointing-hand cursor. Each title setter sets the text and the whole look
// at once. GUI thread only.
class LinkButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit LinkButton(QWidget* parent = nullptr);

    // The pale blue-grey link of the dark screens; font and alignment stay.
    void setTitle(const QString& title);
    // Blue, with the given alignment.
    void setTitle(const QString& title, Qt::Alignment alignment);
    // Blue, right-aligned.
    void setTitleWithAlignment(const QString& title);
    void setTitleWithAlignment(const QString& title, int fontSize, bool bold);
    // Blue unless a colour is given.
    void setTitle(const QString& title, int fontSize, bool bold, const std::optional<QColor>& color = std::nullopt);
    void setTitle(
        const QString& title, int fontSize, bool bold, const std::optional<QColor>& color, Qt::Alignment alignment);

    QString title() const { return text(); }
    QColor titleColor() const { return titleColor_; }
    void setTitleColor(const QColor& color);
    Qt::Alignment titleAlignment() const { return alignment_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyTitle(const QString& title, const QColor& color);
    void applyFont(int fontSize, bool bold);

    QColor titleColor_;
    Qt::Alignment alignment_ = Qt::AlignLeft;
};
