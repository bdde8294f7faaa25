#include "controls/WindowHelpers.h"

#include "core/GlobalObjects.h"
#include "core/Localization.h"

#include <QAbstractButton>
#include <QEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTableView>
#include <QTreeView>

#include <algorithm>

namespace {

constexpr double smallestTextWidth = 25;
constexpr double textWidthPadding = 10;
constexpr int alertDropOnNewerSystems = 60;
constexpr int frameAllowance = 4;
constexpr int titleBarAllowance = 40;

double textWidth(const QString& text, const QFont& font)
{
    if (text.isEmpty())
        return smallestTextWidth;
    return std::max(smallestTextWidth, QFontMetricsF(font).size(0, text).width() + textWidthPadding);
}

struct ColumnWidthRule {
    const char* key;
    std::initializer_list<const char*> languages;
    int width;
};

// Titles that do not fit the layout's column widths in these languages.
const ColumnWidthRule columnWidthRules[] = {
    { "ID_FILE_TYPE", { "nl", "fi", "fr", "pt", "es" }, 95 },
    { "ID_MODIFIED_DATE", { "es" }, 129 },
    { "ID_MODIFIED_DATE", { "fi", "fr", "pt" }, 123 },
    { "ID_CREATED_DATE", { "fr", "pt" }, 101 },
    { "ID_FILE_NAME", { "it" }, 170 },
    { "ID_SIZE", { "it" }, 80 },
    { "ID_INCLUDE_SUB_FOLDER", { "de" }, 150 },
};

void localizeHeader(const std::optional<QString>& title, int column, QAbstractItemModel* model, QHeaderView* header)
{
    if (!model || !header || column < 0 || column >= model->columnCount())
        return;
    const QString text = title.value_or(QString());
    model->setHeaderData(column, Qt::Horizontal, text, Qt::DisplayRole);
    model->setHeaderData(column, Qt::Horizontal, text, Qt::ToolTipRole);

    for (const ColumnWidthRule& rule : columnWidthRules) {
        if (text != localizedText(QString::fromLatin1(rule.key)))
            continue;
        const bool inLanguage = std::any_of(rule.languages.begin(), rule.languages.end(),
            [](const char* code) { return currentLanguageCode == QLatin1String(code); });
        if (inLanguage) {
            header->resizeSection(column, rule.width);
            return;
        }
    }
}

} // namespace

namespace {

class ParentSizeFollower : public QObject {
public:
    ParentSizeFollower(QWidget* screen, QWidget* parent)
        : QObject(screen)
        , screen_(screen)
        , parent_(parent)
    {
        parent->installEventFilter(this);
        screen->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const bool parentResized = watched == parent_ && event->type() == QEvent::Resize;
        const bool shown = watched == screen_ && event->type() == QEvent::Show;
        if ((parentResized || shown) && parent_ && screen_->size() != parent_->size())
            screen_->setGeometry(parent_->rect());
        return false;
    }

private:
    QWidget* screen_;
    QPointer<QWidget> parent_;
};

} // namespace

void keepParentSize(QWidget* screen)
{
    if (!screen || !screen->parentWidget())
        return;
    new ParentSizeFollower(screen, screen->parentWidget());
    screen->setGeometry(screen->parentWidget()->rect());
}

void centerWindowOnWindow(QWidget* window, QWidget* parent)
{
    if (!window || !parent)
        return;
    const QRect over = parent->window()->frameGeometry();
    const QSize size = window->frameGeometry().size();
    const int drop = osIs11OrLater ? alertDropOnNewerSystems : 0;
    window->move(over.x() + (over.width() - size.width()) / 2, over.y() + (over.height() - size.height()) / 2 + drop);
    window->show();
}

QSize windowDecoration(const QWidget* window)
{
    const QSize reported = window && window->isVisible() ? window->frameGeometry().size() - window->size() : QSize();
    if (reported.height() > 0)
        return reported;
    return { 2 * frameAllowance, titleBarAllowance };
}

QPoint contentsOffset(const QWidget* window)
{
    if (window && window->isVisible()) {
        const QPoint reported = window->geometry().topLeft() - window->frameGeometry().topLeft();
        if (reported.y() > 0)
            return reported;
    }
    return { frameAllowance, titleBarAllowance - frameAllowance };
}

QRect frameKeptWithin(QRect frame, const QRect& available)
{
    frame.moveLeft(std::max(available.left(), std::min(frame.left(), available.right() + 1 - frame.width())));
    frame.moveTop(std::max(available.top(), std::min(frame.top(), available.bottom() + 1 - frame.height())));
    return frame;
}

QRect keptOnScreen(const QWidget* window, const QRect& geometry)
{
    if (!window)
        return geometry;
    const QRect frame(geometry.topLeft(), geometry.size() + windowDecoration(window));
    const QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (!screen)
        screen = window->screen();
    if (!screen)
        return geometry;
    return QRect(frameKeptWithin(frame, screen->availableGeometry()).topLeft(), geometry.size());
}

double textWidthOfControl(const QLabel* control)
{
    return control ? textWidth(control->text(), control->font()) : smallestTextWidth;
}

double textWidthOfButtonTitle(const QAbstractButton* button)
{
    return button ? textWidth(button->text(), button->font()) : smallestTextWidth;
}

void localizeTableColumnHeaders(const std::optional<QString>& title, int column, QTableView* table)
{
    if (table)
        localizeHeader(title, column, table->model(), table->horizontalHeader());
}

void localizeTableColumnHeaders(const std::optional<QString>& title, int column, QTreeView* outline)
{
    if (outline)
        localizeHeader(title, column, outline->model(), outline->header());
}

namespace {

// Sees the key presses that reach the window: those aimed at it and those
// its controls left unused on their way up.
class CloseKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != parent() || event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->matches(QKeySequence::Close) && !(key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier))
            return false;
        static_cast<QWidget*>(watched)->close();
        return true;
    }
};

} // namespace

void installCloseKeys(QWidget* window)
{
    if (window)
        window->installEventFilter(new CloseKeys(window));
}
