#include "cloud/CloudSignInSheet.h"

#include "controls/ApplicationFont.h"
#include "controls/ButtonStyles.h"
#include "controls/CustomWindowNag.h"
#include "controls/GradientBox.h"
#include "controls/IMGButton.h"
#include "controls/RAZButton.h"
#include "controls/SheetPanel.h"
#include "controls/WindowHelpers.h"
#include "core/Localization.h"
#include "home/HomeLayout.h"

#include <QLabel>
#include <QProgressBar>

namespace {

const QColor lightText(230, 231, 233);
const QColor dimText(158, 161, 166);
constexpr int boxWidth = 560;
constexpr int boxHeight = 390;
// The wait sheet is the same panel, lower.
constexpr int waitBoxHeight = 210;
constexpr int margin = 24;
constexpr int headerHeight = 38;
constexpr int allowWidth = 150;
constexpr int allowHeight = 32;
constexpr int cancelWidth = 96;
constexpr int buttonGap = 12;
// The fonts the sheet is drawn with before a language changes any.
constexpr int subHeadingSize = 13;
constexpr int infoSize = 13;
constexpr int allowTitleSize = 14;

RAZButton* makeButton(QWidget* parent, const char* name)
{
    auto* button = new RAZButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    applyResultButtonStyle(button);
    button->setFont(systemFontOfSize(button->cell().textFontSize()));
    return button;
}

} // namespace

CloudSignInSheet::CloudSignInSheet(QWidget* view, QObject* parent)
    : QObject(parent)
    , view_(view)
{
    buildSheet();
}

CloudSignInSheet::~CloudSignInSheet()
{
    delete window_;
}

QString CloudSignInSheet::sourceName(ScanSource source)
{
    const char* key = "ID_ONEDRIVE";
    if (source == ScanSource::googleDrive)
        key = "ID_GOOGLE_DRIVE";
    else if (source == ScanSource::box)
        key = "ID_BOXCLOUD";
    else if (source == ScanSource::dropbox)
        key = "ID_DROPBOX";
    return localizedText(key).remove(QLatin1Char('*'));
}

QString CloudSignInSheet::namedText(const char* key, ScanSource source)
{
    QString text = localizedText(key);
    const QString google = sourceName(ScanSource::googleDrive);
    if (!google.isEmpty())
        text.replace(google, sourceName(source), Qt::CaseInsensitive);
    return text;
}

void CloudSignInSheet::buildSheet()
{
    windowGoogleDriveInstruction
        = makeSheetWindow(view_ ? view_->window() : nullptr, QStringLiteral("windowGoogleDriveInstruction"));
    window_ = windowGoogleDriveInstruction;

    boxGoogleDriveInstruction = new SheetPanel(windowGoogleDriveInstruction);
    boxGoogleDriveInstruction->setObjectName(QStringLiteral("boxGoogleDriveInstruction"));
    boxGoogleDriveInstruction->resize(boxWidth, boxHeight);

    GradientBox* header = makeSheetHeader(boxGoogleDriveInstruction, boxWidth, headerHeight);
    lblGoogleDriveInstructionHeading = makeSheetLabel(
        header, QStringLiteral("lblGoogleDriveInstructionHeading"), QString(), 14, lightText, QFont::DemiBold);
    lblGoogleDriveInstructionHeading->setWordWrap(false);
    lblGoogleDriveInstructionHeading->setGeometry(16, 0, boxWidth - 32, headerHeight);

    const int pageTop = headerHeight;
    const QRect pageArea(0, pageTop, boxWidth, boxHeight - pageTop);
    instructionPage_ = new QWidget(boxGoogleDriveInstruction);
    instructionPage_->setGeometry(pageArea);
    waitPage_ = new QWidget(boxGoogleDriveInstruction);
    waitPage_->setGeometry(0, pageTop, boxWidth, waitBoxHeight - pageTop);

    lblGoogleDiveInstructionSubHeading = makeSheetLabel(instructionPage_,
        QStringLiteral("lblGoogleDiveInstructionSubHeading"), QString(), subHeadingSize, lightText, QFont::DemiBold);
    lblGoogleDiveInstructionSubHeading->setGeometry(margin, 16, boxWidth - 2 * margin, 40);

    static const char* const infoNames[3] = { "lblGDriveInfo1", "lblGDriveInfo2", "lblGDriveInfo3" };
    static const char* const subInfoNames[3] = { "lblGDriveSubInfo1", "lblGDriveSubInfo2", "lblGDriveSubInfo3" };
    const int textX = margin + 40;
    for (int step = 0; step < 3; ++step) {
        const int y = 72 + step * 76;
        QLabel* number
            = makeSheetLabel(instructionPage_, QStringLiteral("lblStepNumber"), QString(), 13, Qt::white, QFont::Bold);
        number->setText(QString::number(step + 1));
        number->setAlignment(Qt::AlignCenter);
        number->setStyleSheet(QStringLiteral("background-color: #2f7fe0; border-radius: 13px;"));
        number->setGeometry(margin, y, 26, 26);
        lblGDriveInfo[step] = makeSheetLabel(
            instructionPage_, QString::fromLatin1(infoNames[step]), QString(), infoSize, lightText, QFont::DemiBold);
        lblGDriveInfo[step]->setGeometry(textX, y + 3, boxWidth - textX - margin, 20);
        lblGDriveSubInfo[step] = makeSheetLabel(
            instructionPage_, QString::fromLatin1(subInfoNames[step]), QString(), 12, dimText, QFont::Normal);
        lblGDriveSubInfo[step]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        lblGDriveSubInfo[step]->setGeometry(textX, y + 26, boxWidth - textX - margin, 40);
    }

    const int bottomY = pageArea.height() - 52;
    btnScanComputer = makeButton(instructionPage_, "btnScanComputer");
    btnScanComputer->setGeometry(margin, bottomY + 3, 160, 26);
    btnCancelInstruction = makeButton(instructionPage_, "btnCancelInstruction");
    btnAllowPermission = makeSheetDefaultButton(instructionPage_, QStringLiteral("btnAllowPermission"));
    // Frames from the page's lower left, as the language rules edit them.
    allowBase_ = { double(boxWidth - margin - allowWidth), double(pageArea.height() - bottomY - allowHeight),
        double(allowWidth), double(allowHeight) };

    lblWaitForAuthenticate = makeSheetLabel(
        waitPage_, QStringLiteral("lblWaitForAuthenticate"), QString(), 14, lightText, QFont::DemiBold);
    lblWaitForAuthenticate->setAlignment(Qt::AlignCenter);
    lblWaitForAuthenticate->setGeometry(margin, 26, boxWidth - 2 * margin, 40);
    hudWaitForAuthenticate = new QProgressBar(waitPage_);
    hudWaitForAuthenticate->setObjectName(QStringLiteral("hudWaitForAuthenticate"));
    hudWaitForAuthenticate->setRange(0, 0);
    hudWaitForAuthenticate->setTextVisible(false);
    hudWaitForAuthenticate->setGeometry((boxWidth - 220) / 2, 78, 220, 10);
    btnCancelWaiting = makeButton(waitPage_, "btnCancelWaiting");
    btnCancelWaiting->setGeometry(boxWidth - margin - 96, waitPage_->height() - 52 + 3, 96, 26);

    connect(btnAllowPermission, &QAbstractButton::clicked, this, [this] {
        if (onAllowPermission)
            onAllowPermission();
    });
    connect(btnScanComputer, &QAbstractButton::clicked, this, [this] {
        if (onScanComputer)
            onScanComputer();
    });
    connect(btnCancelInstruction, &QAbstractButton::clicked, this, [this] {
        close();
        if (onCancelInstructions)
            onCancelInstructions();
    });
    connect(btnCancelWaiting, &QAbstractButton::clicked, this, [this] {
        if (onCancelWaiting)
            onCancelWaiting();
    });
    // Escape is the Cancel of the page shown.
    connect(windowGoogleDriveInstruction, &QDialog::rejected, this, [this] {
        if (waiting_ && onCancelWaiting)
            onCancelWaiting();
    });
    showPage(false);
    layoutForLanguage();
}

void CloudSignInSheet::localizeInstructionSheet(ScanSource source)
{
    lblGoogleDriveInstructionHeading->setText(
        namedText("ID_PLEASE_AUTHORIZE_TO_ADD_GOOGLE_DRIVE_IN_SCAN_LIST", source));
    lblGoogleDiveInstructionSubHeading->setText(
        namedText("ID_HERE_ARE_STEPS_TO_AUTH_Vlx_TO_SCAN_GOOGLE_DRIVE", source));
    btnAllowPermission->setText(localizedText("ID_ALLOW_PERMISSION"));
    btnScanComputer->setText(localizedText("ID_SCAN_COMPUTER"));
    btnCancelInstruction->setText(localizedText("ID_CANCEL"));
    btnCancelWaiting->setText(localizedText("ID_CANCEL"));
    lblGDriveInfo[0]->setText(localizedText("ID_CLICK_ON_ALLOW_PERMISSION_FOR_AUTHANTICATION"));
    lblGDriveSubInfo[0]->setText(namedText("ID_CLICK_ON_ALLOW_PERMISSION_AT_BOTTOM", source));
    lblGDriveInfo[1]->setText(localizedText("ID_FILL_REQUIRE_DETAILS_AND_PROCESS"));
    lblGDriveSubInfo[1]->setText(namedText("ID_ENTER_USERNAME_PASSWORD_GOOGLE_DRIVE_ACCOUNT", source));
    lblGDriveInfo[2]->setText(namedText("ID_ADD_FOLDER_AND_SCAN_GOOGLE_DRIVE", source));
    lblGDriveSubInfo[2]->setText(namedText("ID_COME_BACK_TO_APP_CLICK_ADD_FOLDER", source));
    lblWaitForAuthenticate->setText(localizedText("ID_PLEASE_WAIT_TO_OPEN_AUTH_WINDOW"));
    btnAllowPermission->setImageName(signInImageName(source));
    layoutForLanguage();
}

QString CloudSignInSheet::signInImageName(ScanSource source)
{
    switch (source) {
    case ScanSource::googleDrive:
        return QStringLiteral("btn_google_sign_in");
    case ScanSource::dropbox:
        return QStringLiteral("dropbox_icon-1");
    case ScanSource::oneDrive:
        return QStringLiteral("onedrive_sign_in");
    case ScanSource::box:
        return QStringLiteral("boxcloud_sign_in");
    default:
        return {};
    }
}

void CloudSignInSheet::layoutForLanguage()
{
    // From the base fonts and frame each time, so a second showing, or one
    // after a change of texts, never widens twice.
    lblGoogleDiveInstructionSubHeading->setFont(systemFontOfSize(subHeadingSize, QFont::DemiBold));
    lblGDriveInfo[0]->setFont(systemFontOfSize(infoSize, QFont::DemiBold));
    btnAllowPermission->setFontSizeForButton(allowTitleSize);
    btnAllowPermission->setFont(systemFontOfSize(allowTitleSize, QFont::DemiBold));
    btnScanComputer->setFont(systemFontOfSize(btnScanComputer->cell().textFontSize()));

    FrameTable frames { { QStringLiteral("btnAllowPermission"), allowBase_ } };
    for (const FontEdit& edit :
        applySignInSheetLayoutRules(frames, textWidthOfButtonTitle(btnAllowPermission), currentLanguageCode)) {
        auto* widget = instructionPage_->findChild<QWidget*>(edit.name);
        if (!widget)
            continue;
        widget->setFont(edit.font);
        if (auto* button = qobject_cast<IMGButton*>(widget))
            button->setFontSizeForButton(edit.font.pixelSize());
    }
    frames.apply(instructionPage_);
    // Cancel keeps its place beside Allow Permission, however wide that grew.
    const QRect allow = btnAllowPermission->geometry();
    btnCancelInstruction->setGeometry(allow.x() - buttonGap - cancelWidth, allow.y() + 3, cancelWidth, 26);
}

void CloudSignInSheet::showInstructions(ScanSource source, bool hideScanComputer)
{
    localizeInstructionSheet(source);
    btnScanComputer->setVisible(!hideScanComputer);
    btnAllowPermission->setEnabled(true);
    showPage(false);
    present();
}

void CloudSignInSheet::showWaiting(ScanSource source)
{
    localizeInstructionSheet(source);
    btnAllowPermission->setEnabled(false);
    showPage(true);
    present();
}

void CloudSignInSheet::close()
{
    waiting_ = false;
    windowGoogleDriveInstruction->hide();
}

bool CloudSignInSheet::isShown() const
{
    return windowGoogleDriveInstruction->isVisible();
}

void CloudSignInSheet::showPage(bool waiting)
{
    waiting_ = waiting;
    instructionPage_->setVisible(!waiting);
    waitPage_->setVisible(waiting);
    boxGoogleDriveInstruction->resize(boxWidth, waiting ? waitBoxHeight : boxHeight);
}

void CloudSignInSheet::present()
{
    QWidget* over = view_ ? view_->window() : nullptr;
    if (over && windowGoogleDriveInstruction->parentWidget() != over)
        windowGoogleDriveInstruction->setParent(over, windowGoogleDriveInstruction->windowFlags());
    layOutSheetOver(windowGoogleDriveInstruction, boxGoogleDriveInstruction,
        over ? over->geometry() : QRect(QPoint(), QSize(boxWidth, boxHeight)));
    if (!windowGoogleDriveInstruction->isVisible())
        windowGoogleDriveInstruction->open();
}
