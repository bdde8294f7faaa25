#include "marking/AutoMarkSheetWindows.h"

#include "controls/ApplicationFont.h"
#include "controls/ButtonKeys.h"
#include "controls/ButtonStyles.h"
#include "controls/CircularProgressBarView.h"
#include "controls/CustomWindowNag.h"
#include "controls/GradientBox.h"
#include "controls/IMGButton.h"
#include "controls/RAZButton.h"
#include "controls/SheetPanel.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>

namespace {

const QColor lightText(230, 231, 233);
const QColor dimText(170, 172, 176);

GradientBox* makeHeader(QWidget* box, const QString& name, int width)
{
    GradientBox* header = makeSheetHeader(box, width);
    header->setObjectName(name);
    return header;
}

QLabel* makeHeaderTitle(GradientBox* header, const QString& name, const QString& title)
{
    QLabel* label = makeSheetLabel(header, name, title, 14, lightText, QFont::DemiBold);
    label->setWordWrap(false);
    label->setGeometry(16, 0, header->width() - 32, header->height());
    return label;
}

void threePartImages(IMGButton* button, const QString& prefix)
{
    const QString s = prefix + QStringLiteral("left"), m = prefix + QStringLiteral("mid"),
                  e = prefix + QStringLiteral("right");
    button->setButtonsImages(s, m, e, s, m, e, s, m, e);
}

RAZButton* makeGreyButton(QWidget* parent, const QString& name, const QString& title)
{
    auto* button = new RAZButton(parent);
    button->setObjectName(name);
    button->setText(title);
    applyResultButtonStyle(button);
    button->setFont(systemFontOfSize(button->cell().textFontSize()));
    return button;
}

void closeSheet(QWidget* window)
{
    if (window && window->isVisible())
        window->hide();
}

} // namespace

// The summary's styled runs as rich text for a label. Runs may overlap (a
// colour inside a font run); each character takes the colour and the font of
// the runs that cover it.
QString summaryRichText(const StyledText& styled)
{
    const auto styleAt = [&](qsizetype at) {
        QString style;
        for (const StyledRun& run : styled.runs) {
            if (at < run.start || at >= run.start + run.length)
                continue;
            if (run.rgb)
                style += QStringLiteral("color:#%1;").arg(*run.rgb, 6, 16, QLatin1Char('0'));
            if (run.font) {
                style += QStringLiteral("font-size:%1pt;").arg(run.font->pointSize);
                if (run.font->weight != SummaryFont::Weight::regular)
                    style += QStringLiteral("font-weight:%1;")
                                 .arg(run.font->weight == SummaryFont::Weight::bold ? 700 : 500);
            }
        }
        return style;
    };
    QString html;
    for (qsizetype at = 0; at < styled.text.size();) {
        const QString style = styleAt(at);
        qsizetype end = at + 1;
        while (end < styled.text.size() && styleAt(end) == style)
            ++end;
        const QString part = styled.text.mid(at, end - at).toHtmlEscaped();
        html += style.isEmpty() ? part : QStringLiteral("<span style=\"%1\">%2</span>").arg(style, part);
        at = end;
    }
    return html;
}

AutoMarkSheetWindows::AutoMarkSheetWindows(QWidget* resultsWindow)
    : QObject(resultsWindow)
    , resultsWindow_(resultsWindow)
{
    buildConfirmation();
    buildProgress();
    buildScanComplete();
}

AutoMarkSheetWindows::~AutoMarkSheetWindows() = default;

void AutoMarkSheetWindows::buildConfirmation()
{
    constexpr int width = 480;
    windowAutoMark = makeSheetWindow(resultsWindow_, QStringLiteral("windowAutoMark"));
    boxAutoMark = new SheetPanel(windowAutoMark);
    boxAutoMark->setObjectName(QStringLiteral("boxAutoMark"));
    boxAutoMark->resize(width, 196);
    boxAutoMarkHeader = makeHeader(boxAutoMark, QStringLiteral("boxAutoMarkHeader"), width);
    makeHeaderTitle(boxAutoMarkHeader, QStringLiteral("lblAutoMarkHeading"), localizedText("ID_AUTOMARK"));

    lblAreYouSureWantAutoMArk = makeSheetLabel(boxAutoMark, QStringLiteral("lblAreYouSureWantAutoMArk"),
        localizedText("ID_ARE_YOU_SURE_WANT_AUTO_MARK_ALL_ITEMS"), 14, lightText);
    lblAreYouSureWantAutoMArk->setGeometry(24, 54, width - 48, 52);

    btnDontShowAutoMark = new QCheckBox(localizedText("ID_DONT_SHOW_MESSAGE_AGAIN"), boxAutoMark);
    btnDontShowAutoMark->setObjectName(QStringLiteral("btnDontShowAutoMark"));
    btnDontShowAutoMark->setFont(systemFontOfSize(12));
    QPalette palette = btnDontShowAutoMark->palette();
    palette.setColor(QPalette::WindowText, QColor::fromRgbF(209 / 255.0, 210 / 255.0, 214 / 255.0, 0.8));
    btnDontShowAutoMark->setPalette(palette);
    btnDontShowAutoMark->setGeometry(24, 150, 220, 24);

    btnContinueAutomark = makeSheetDefaultButton(boxAutoMark, QStringLiteral("btnContinueAutomark"));
    btnContinueAutomark->setText(localizedText("ID_CONTINUE"));
    btnContinueAutomark->setGeometry(width - 24 - 110, 146, 110, 32);

    btnCancelAutomark = makeGreyButton(boxAutoMark, QStringLiteral("btnCancelAutomark"), localizedText("ID_CANCEL"));
    btnCancelAutomark->setGeometry(width - 24 - 110 - 12 - 96, 149, 96, 26);
}

void AutoMarkSheetWindows::buildProgress()
{
    constexpr int width = 480;
    windowAutomarking = makeSheetWindow(resultsWindow_, QStringLiteral("windowAutomarking"));
    boxAutoMarking = new SheetPanel(windowAutomarking);
    boxAutoMarking->setObjectName(QStringLiteral("boxAutoMarking"));
    boxAutoMarking->resize(width, 186);
    boxTopAutomarking = makeHeader(boxAutoMarking, QStringLiteral("boxTopAutomarking"), width);
    lbAutoMarkInProgress = makeHeaderTitle(
        boxTopAutomarking, QStringLiteral("lbAutoMarkInProgress"), localizedText("ID_AUTOMARK_IN_PROGRESS"));

    lblPleaseWaitAutoMarking = makeSheetLabel(boxAutoMarking, QStringLiteral("lblPleaseWaitAutoMarking"),
        localizedText("ID_PLEASE_WAIT_WHILE_WE_MARKING_ITEMS"), 13, lightText);
    lblPleaseWaitAutoMarking->setGeometry(24, 54, width - 48, 22);

    progressBarAutoMarking = new QProgressBar(boxAutoMarking);
    progressBarAutoMarking->setObjectName(QStringLiteral("progressBarAutoMarking"));
    progressBarAutoMarking->setTextVisible(false);
    progressBarAutoMarking->setStyleSheet(
        QStringLiteral("QProgressBar { background: #2a2a2c; border: 1px solid #4e4e50; border-radius: 4px; }"
                       "QProgressBar::chunk { background: #0c7eeb; border-radius: 3px; }"));
    progressBarAutoMarking->setGeometry(24, 86, width - 48, 10);

    lblNumberPhotosMarking
        = makeSheetLabel(boxAutoMarking, QStringLiteral("lblNumberPhotosMarking"), QString(), 12, dimText);
    lblNumberPhotosMarking->setGeometry(24, 104, width - 48, 20);

    btnCancelAutoMarking
        = makeGreyButton(boxAutoMarking, QStringLiteral("btnCancelAutoMarking"), localizedText("ID_CANCEL"));
    btnCancelAutoMarking->setGeometry(width - 24 - 96, 140, 96, 26);
}

void AutoMarkSheetWindows::buildScanComplete()
{
    constexpr int width = 540;
    windowScanComplete = makeSheetWindow(resultsWindow_, QStringLiteral("windowScanComplete"));
    boxWindowScanComplete = new SheetPanel(windowScanComplete);
    boxWindowScanComplete->setObjectName(QStringLiteral("boxWindowScanComplete"));
    boxWindowScanComplete->resize(width, 290);
    boxAfterScanHeader = makeHeader(boxWindowScanComplete, QStringLiteral("boxAfterScanHeader"), width);
    lblScanned = makeHeaderTitle(boxAfterScanHeader, QStringLiteral("lblScanned"), localizedText("ID_LBL_SCANNED"));

    progressCircular = new CircularProgressBarView(boxWindowScanComplete);
    progressCircular->setObjectName(QStringLiteral("progressCircular"));
    progressCircular->setGeometry(32, 66, 110, 110);

    lblDuplicatePhotosFound
        = makeSheetLabel(boxWindowScanComplete, QStringLiteral("lblDuplicatePhotosFound"), QString(), 16, lightText);
    lblDuplicatePhotosFound->setTextFormat(Qt::RichText);
    lblDuplicatePhotosFound->setWordWrap(false);
    lblDuplicatePhotosFound->setGeometry(166, 62, width - 166 - 24, 46);

    lblAutoMarkInstructionDesc
        = makeSheetLabel(boxWindowScanComplete, QStringLiteral("lblAutoMarkInstructionDesc"), QString(), 13, dimText);
    lblAutoMarkInstructionDesc->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblAutoMarkInstructionDesc->setGeometry(166, 120, width - 166 - 24, 66);

    const auto choice = [&](const QString& name, const QString& prefix, const QString& title, int x) {
        auto* button = new IMGButton(boxWindowScanComplete);
        button->setObjectName(name);
        threePartImages(button, prefix);
        button->setMakeBoldFont(true);
        button->setFontSizeForButton(18);
        button->setText(title);
        button->setGeometry(x, 210, 226, 48);
        return button;
    };
    btnSelectManually = choice(
        QStringLiteral("btnSelectManually"), QStringLiteral("blue_sel_btn_"), localizedText("ID_SELECT_MANUALLY"), 32);
    btnAutoMarkPhotos = choice(QStringLiteral("btnAutoMarkPhotos"), QStringLiteral("green_sel_btn_"),
        localizedText("ID_AUTO_MARK_RESULT"), width - 32 - 226);
    // Enter takes the choice that marks nothing.
    setDefaultButton(btnSelectManually);
}

void AutoMarkSheetWindows::connectTo(AutoMarking& marking)
{
    connect(btnContinueAutomark, &QAbstractButton::clicked, &marking,
        [this, &marking] { marking.continueAutoMark(btnDontShowAutoMark->isChecked()); });
    connect(btnCancelAutomark, &QAbstractButton::clicked, &marking, &AutoMarking::cancelAutoMark);
    connect(btnCancelAutoMarking, &QAbstractButton::clicked, &marking, &AutoMarking::cancelBtnTappedAutoMarking);
    connect(btnSelectManually, &QAbstractButton::clicked, &marking, &AutoMarking::btnCloseWindowScanCompleteTapped);
    connect(btnAutoMarkPhotos, &QAbstractButton::clicked, &marking, &AutoMarking::continueAutoMarkAfterScanComplete);
}

void AutoMarkSheetWindows::layOutSheet(CustomWindowNag* window, QWidget* box)
{
    layOutSheetOver(window, box, resultsWindow_ ? resultsWindow_->window()->geometry() : QRect(QPoint(), box->size()));
}

void AutoMarkSheetWindows::presentSheetWithOverlay(CustomWindowNag* window, QWidget* box)
{
    layOutSheet(window, box);
    window->open();
}

void AutoMarkSheetWindows::showConfirmation()
{
    btnDontShowAutoMark->setChecked(false);
    presentSheetWithOverlay(windowAutoMark, boxAutoMark);
}

void AutoMarkSheetWindows::closeConfirmation()
{
    closeSheet(windowAutoMark);
}

void AutoMarkSheetWindows::showProgress(qint64 maximum)
{
    // The bar counts in int; a larger result set is drawn to scale.
    progressBarAutoMarking->setRange(0, static_cast<int>(std::min<qint64>(maximum, INT_MAX)));
    progressBarAutoMarking->setValue(0);
    presentSheetWithOverlay(windowAutomarking, boxAutoMarking);
}

void AutoMarkSheetWindows::setProgress(const QString& label, qint64 value)
{
    lblNumberPhotosMarking->setText(label);
    progressBarAutoMarking->setValue(static_cast<int>(std::min<qint64>(value, progressBarAutoMarking->maximum())));
}

void AutoMarkSheetWindows::closeProgress()
{
    closeSheet(windowAutomarking);
}

void AutoMarkSheetWindows::showScanComplete(const DuplicatesSummary& summary)
{
    setScanSummary(summary);
    presentSheetWithOverlay(windowScanComplete, boxWindowScanComplete);
}

void AutoMarkSheetWindows::setScanSummary(const DuplicatesSummary& summary)
{
    progressCircular->progress = 100;
    progressCircular->update();
    lblDuplicatePhotosFound->setText(summaryRichText(summary.lblDuplicatePhotosFound));
    lblAutoMarkInstructionDesc->setText(summary.lblAutoMarkInstructionDesc);
}

void AutoMarkSheetWindows::closeScanComplete()
{
    closeSheet(windowScanComplete);
}
