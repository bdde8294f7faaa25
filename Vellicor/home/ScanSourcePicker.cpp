#include "home/ScanSourcePicker.h"

#include "controls/ApplicationFont.h"
#include "controls/CustomPopUpButton.h"
#include "core/Localization.h"
#include "home/HomeLayout.h"
#include "home/HomeLook.h"

#include <QAbstractItemView>
#include <QFrame>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// The open list: plain titles in rows of the list's height.
class SourceItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index).expandedTo(QSize(0, 26));
    }
};

QImage sourceTitleMark()
{
    QImage mark(QSize(12, 12) * 2, QImage::Format_ARGB32_Premultiplied);
    mark.fill(Qt::transparent);
    QPainter painter(&mark);
    painter.setRenderHint(QPainter::Antialiasing);
    NamedImage::load(QStringLiteral("check_mark")).draw(painter, QRectF(0, 0, 24, 24));
    painter.end();
    return osIsBefore10_15 ? verticallyFlippedImage(mark) : mark;
}

// The pop-up's layout: this computer, the photo catalog and the empty-folder
// cleaner, then the cloud drives. The set-up hides indexes 3, 5 and 6 (and 4
// on the oldest systems), so only separators stand there.
constexpr std::optional<ScanSource> sourceItemOrder[] = { ScanSource::thisComputer, ScanSource::lightroomCatalog,
    ScanSource::emptyFolderCleaner, std::nullopt, std::nullopt, std::nullopt, std::nullopt, ScanSource::googleDrive,
    ScanSource::dropbox, ScanSource::oneDrive, ScanSource::box };

} // namespace

std::optional<ScanSource> scanSourceOfTag(qint64 tag)
{
    return scanSourceFromRaw(tag - scanSourceTag(ScanSource::thisComputer));
}

const char* scanSourceTitleKey(ScanSource source)
{
    switch (source) {
    case ScanSource::thisComputer:
        break;
    case ScanSource::googleDrive:
        return "ID_GOOGLE_DRIVE";
    case ScanSource::dropbox:
        return "ID_DROPBOX";
    case ScanSource::oneDrive:
        return "ID_ONEDRIVE";
    case ScanSource::box:
        return "ID_BOXCLOUD";
    case ScanSource::lightroomCatalog:
        return "ID_LIGHTROOM_CATALOG";
    case ScanSource::emptyFolderCleaner:
        return "ID_EMPTY_FOLDERS";
    }
    return "ID_FINDER";
}

ScanSourcePicker::ScanSourcePicker(QWidget* view)
{
    auto* source = new QWidget(view);
    source->setObjectName(homeName("viewScanSource"));
    auto* box = new QFrame(source);
    box->setObjectName(homeName("boxScanMode"));
    label_ = makeHomeLabel("lblScanMode", box, 14);
    label_->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    popUp_ = new CustomPopUpButton(source);
    popUp_->setObjectName(homeName("btnScanMode"));
    popUp_->setTextColor(QColor(Qt::white));
    popUp_->setFont(systemFontOfSize(13));
    popUp_->setStyleSheet(QStringLiteral(
        "QComboBox { background: #2f3134; color: white; border: 1px solid #4a4d52; border-radius: 5px; "
        "padding: 0 10px; }"
        "QComboBox::drop-down { border: none; width: 22px; }"
        "QComboBox QAbstractItemView { background: #2f3134; color: white; selection-background-color: #1f6fe5; }"));

    auto* dropdown = new ImageLabel(QStringLiteral("arrow_open_d"), source);
    dropdown->setObjectName(homeName("imgDropdown"));
    dropdown->setAttribute(Qt::WA_TransparentForMouseEvents);

    connect(popUp_, qOverload<int>(&QComboBox::activated), this, &ScanSourcePicker::activated);
}

void ScanSourcePicker::localize()
{
    label_->setText(localizedText("ID_SCAN_MODE"));
    // Each item's title follows its tag.
    popUp_->clear();
    for (const std::optional<ScanSource> source : sourceItemOrder) {
        if (!source)
            popUp_->insertSeparator(popUp_->count());
        else
            popUp_->addItem(localizedText(scanSourceTitleKey(*source)), scanSourceTag(*source));
    }
}

void ScanSourcePicker::finishSetUp()
{
    popUp_->setCurrentIndex(std::max(0, popUp_->findData(scanSourceTag(selectedScanSource().load()))));
    popUp_->setItemHidden(3, true);
    popUp_->setItemHidden(4, osIs10_11);
    popUp_->setItemHidden(5, true);
    popUp_->setItemHidden(6, true);
    // A turn of the wheel while passing over the button must not switch
    // sources and start a sign-in.
    popUp_->setSwitchesOnWheel(false);
    // The closed button marks the chosen source; the open list is plain.
    popUp_->setTitleMark(sourceTitleMark());
    popUp_->view()->setItemDelegate(new SourceItemDelegate(popUp_));
    popUp_->view()->setFont(systemFontOfSize(13));
}

std::optional<ScanSource> ScanSourcePicker::sourceAt(int index) const
{
    const QVariant tag = popUp_->itemData(index);
    return tag.isValid() ? scanSourceOfTag(tag.toLongLong()) : std::nullopt;
}
