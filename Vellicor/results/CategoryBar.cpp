#include "results/CategoryBar.h"

#include "controls/ApplicationFont.h"
#include "controls/OptionPopover.h"
#include "controls/RAZButton.h"
#include "results/ResultsLayout.h"
#include "results/ResultsWidgets.h"

#include <QLabel>

#include <cmath>

using namespace ResultsLook;

namespace {

using Category = GlobalObjects::FileCategory;

// The category buttons in bar order, with their titles and categories (-1:
// all files).
struct CategoryButton {
    const char* objectName;
    const char* arrowName;
    const char* titleKey;
    int category;
};
const CategoryButton categoryButtonTable[7] = {
    { "btnAllItems", "arrowAllFiles", "ID_ALL_FILES", -1 },
    { "btnImagesItems", "arrowImages", "ID_IMAGES", int(Category::Pic) },
    { "btnVideoItems", "arrowVideo", "ID_VIDEOS", int(Category::Video) },
    { "btnArchiveItems", "arrowArchive", "ID_ARCHIVES", int(Category::Archive) },
    { "btnMusicItems", "arrowMusic", "ID_MUSIC", int(Category::Music) },
    { "btnOtherItems", "arrowOther", "ID_OTHERS", int(Category::Others) },
    { "btnDocumentItems", "arrowDocument", "ID_DOCUMENTS", int(Category::Doc) },
};

void styleCategoryButton(RAZButton* button, bool selected)
{
    const auto rgb = [](int r, int g, int b) { return QColor(r, g, b); };
    button->setButtonInsideColor(selected ? rgb(60, 60, 60) : rgb(40, 40, 40), rgb(40, 40, 40), Qt::white,
        rgb(164, 164, 164), selected ? rgb(55, 66, 78) : rgb(30, 40, 50), rgb(194, 194, 194), 0, 24, true, false, 0);
    button->update();
}

} // namespace

CategoryBar::CategoryBar(std::function<void(int category)> chosen)
    : chosen_(std::move(chosen))
{
}

CategoryBar::~CategoryBar() = default;

void CategoryBar::build(QWidget* parent)
{
    boxCategories_ = box("boxCategories", parent, screenColor);
    for (int i = 0; i < 7; ++i) {
        auto* button = new RAZButton(boxCategories_);
        button->setObjectName(name(categoryButtonTable[i].objectName));
        button->setFont(systemFontOfSize(13));
        buttons_[i] = button;

        arrows_[i] = new ImageView(QStringLiteral("category_arrow"), boxCategories_);
        arrows_[i]->setObjectName(name(categoryButtonTable[i].arrowName));
        connect(button, &QAbstractButton::clicked, this, [this, i] { chosen_(categoryButtonTable[i].category); });
    }
}

void CategoryBar::highlight(int category)
{
    highlighted_ = category;
    for (int i = 0; i < 7; ++i) {
        const bool selected = categoryButtonTable[i].category == category;
        arrows_[i]->setVisible(selected);
        styleCategoryButton(buttons_[i], selected);
    }
}

void CategoryBar::showNoDuplicatesPopover(Category category, const QString& heading)
{
    int index = 0;
    while (index < 6 && categoryButtonTable[index].category != int(category))
        ++index;
    if (!popover_)
        popover_ = std::make_unique<OptionPopover>();
    popover_->view();
    popover_->txtHeading()->setText(heading);
    popover_->showPopover(buttons_[index]);
}

void CategoryBar::setEnabled(bool enable)
{
    for (RAZButton* button : buttons_)
        button->setEnabled(enable);
}

bool CategoryBar::isEnabled() const
{
    return buttons_[0]->isEnabled();
}

void CategoryBar::placeArrows(FrameTable& frames)
{
    // The arrow under each category button follows it.
    for (const CategoryButton& button : categoryButtonTable) {
        const LayoutFrame& frame = frames[name(button.objectName)];
        frames[name(button.arrowName)] = { std::round(frame.x + frame.width / 2 - 8), 0, 16, 8 };
    }
}

void CategoryBar::fit(const FrameTable& frames, QWidget* screen, QPoint edgeInScreen)
{
    // The row stands over the list: where the list is narrower than the row
    // as laid out, its buttons narrow alike and keep their gaps.
    const int edge = boxCategories_->mapFrom(screen, edgeInScreen).x() - 3;
    struct Placed {
        QWidget* button;
        QWidget* arrow;
        QRect natural;
    };
    std::vector<Placed> row;
    for (const char* control : resultsCategoryRowOrder) {
        const LayoutFrame* frame = frames.find(name(control));
        if (!frame)
            return; // not laid out yet
        for (int i = 0; i < 7; ++i) {
            if (QLatin1String(categoryButtonTable[i].objectName) == QLatin1String(control))
                row.push_back({ buttons_[i], arrows_[i], qtGeometry(*frame, boxCategories_->height()) });
        }
    }
    if (row.empty())
        return;
    int widths = 0;
    for (const Placed& placed : row)
        widths += placed.natural.width();
    const int gaps = row.back().natural.right() - row.front().natural.left() + 1 - widths;
    const double scale = row.back().natural.right() <= edge
        ? 1.0
        : std::max(0.0, double(edge - row.front().natural.left() + 1 - gaps) / widths);
    double x = row.front().natural.left();
    for (std::size_t i = 0; i < row.size(); ++i) {
        const QRect natural = row[i].natural;
        const double width = natural.width() * scale;
        row[i].button->setGeometry(int(std::round(x)), natural.y(), int(std::floor(width)), natural.height());
        const QRect placed = row[i].button->geometry();
        row[i].arrow->move(placed.center().x() - row[i].arrow->width() / 2 + 1, row[i].arrow->y());
        if (i + 1 < row.size())
            x += width + (row[i + 1].natural.left() - natural.right() - 1);
    }
}
