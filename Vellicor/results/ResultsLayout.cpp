#include "results/ResultsLayout.h"

#include "controls/ApplicationFont.h"

#include <QStringList>

#include <optional>

namespace {

// One row of fixed changes: the languages it names and its edits, each
// "control op op…" with ops x/y/w/h followed by +n, -n or =n, and f=n for the
// system font of size n (a trailing m or b: medium or bold weight).
struct FixedRow {
    const char* languages;
    const char* edits;
};

const FixedRow fixedRows[] = {
    { "da", "btnReview x-5 w+10; lblInCaseMistake y+12" },
    { "fr",
        "btnSelectionAssitance w+5; btnOptions x+5; boxAssistanceSeprator x+5; btnBackToFooter w+8;"
        "btnTrash f=9 h+7; btnOpenPhotosLibInstruction w+10; verticalLine x-50; lblSpaceToBeSaved x-80;"
        "btnDeleteLink x-110 w+130; btnCancelPhotosInstruction x-60; btnOpenPhotosLibInstruction x-55 w+40;"
        "btnContinuePhotoLibrary w+5" },
    { "it", "btnReview x-10 w+15; lblSelectedFileDeleted w+15; btnOptions x+5; boxAssistanceSeprator x+5" },
    { "sv", "lblInCaseMistake y+5 h+12; btnDeleteLink x-10 w+15" },
    { "ru",
        "lblAutoMarkInstructionDesc f=12; btnSelectionAssitance w+10; btnOptions x+10; boxAssistanceSeprator x+10;"
        "lblSpaceToBeSaved x-30; verticalLine x-10; btnReview x-35 w+35; btnTrashOnReview y-5;"
        "btnContinuePhotoLibrary x-25 w+25; btnOpenPhotosLibInstruction x-95 w+70; btnCancelPhotosInstruction x-95;"
        "lblSelectedFileDeletedInfo f=11; lblInCaseMistake y+5 h+16; btnContinueAutomark x-20 w+20;"
        "btnCancelAutomark x-20; lblDuplicatesRemoved f=12; lblSpaceRemoved f=12; lblUniqueFilesRetained f=11;"
        "btnDeleteLink x-20 w+20" },
    { "ru,nl,fr,it", "lbAutoMarkInProgress f=11" },
    { "fr,it", "lbAutoMarkInProgress f=13" },
    { "es",
        "btnSelectionAssitance w+10; btnOptions x+10; boxAssistanceSeprator x+10; lblSelectedFileDeleted w+20;"
        "lblSelectedFileDeletedInfo f=12; lblSelectedFileDeleted f=12; lblInCaseMistake y+20;"
        "btnOpenPhotosLibInstruction x-10 w+10; btnCancelPhotosInstruction x-10; btnContinuePhotoLibrary w+10" },
    { "es,ru,fr", "lblAreYouSureToDeleteInfo y=110; lblNetworkDriveContent y=71" },
    { "nb", "lblInCaseMistake f=11 y+5 h+12" },
    { "ru,ja", "lblScanned f=11" },
    { "nb,da", "boxUnmarkSeprator x=285; btnUnmarkAll w=145" },
    { "da", "btnSelectionAssitance x=276" },
    { "ja", "boxAutoMarkSeprator x=110; btnUnmarkAll x=120 w=130" },
    { "fi,nl",
        "lblInCaseMistake y+15; lblSelectedFileDeleted y-15 h+22; lblSelectedFileDeletedInfo y-15 f=11;"
        "lblRemovingDuplicateFiles f=22" },
    { "es,nl,pt,sv,ja,fi,ru", "lblDuplicatePhotosFound f=15b" },
    { "it,pt,de", "btnDontShowThisAgain w=243 x=3" },
    { "ru", "btnDontShowThisAgain w=243 x=70 y=54" },
    { "group", "" }, // the group-view and settings buttons run here
    { "nl",
        "btnContinuePhotoLibrary w+10; btnReview x-20 w+20; btnUnmarkAll w+15; boxUnmarkSeprator x+15;"
        "btnSelectionAssitance w+25; boxAssistanceSeprator x+25; btnOptions x+25; btnTrashOnReview w=109" },
    { "pt",
        "btnSelectionAssitance w+10; btnOptions x+15; boxAssistanceSeprator x+15; lblSelectedFileDeletedInfo f=11;"
        "lblInCaseMistake y+15; btnOpenPhotosLibInstruction x-30 w+30; btnCancelPhotosInstruction x-30;"
        "btnContinuePhotoLibrary w+10; btnDeleteLink x-20 w+40" },
    { "nl,es,it", "btnDeleteLink x-45 w+50" },
    { "fr", "lblDuplicatePhotosFound f=18b" },
    { "ru,de", "lblActionToUndo y=110 h=35; lblDoYouWantToProceed y=81" },
    { "it,fi", "btnSort x-55 w+55" },
    { "ru,da,es,de,pt,nb,sv", "btnSort x-50 w+50" },
    { "de",
        "lblDuplicatePhotosFound f=20b; btnContinueAutomark w+10; btnReview x-20 w+20; btnContinuePhotoLibrary w+10;"
        "btnCancelPhotosInstruction x-10 w+10; lblInCaseMistake y+15; lblDupCleanedLibrary f=11;"
        "btnTrashOnReview w=109" },
};

bool names(const char* list, const QString& language)
{
    return QString::fromLatin1(list).split(QLatin1Char(',')).contains(language);
}

class Pass {
public:
    Pass(FrameTable& frames, const ResultsTitleWidths& widths)
        : frames_(frames)
        , widths_(widths)
    {
    }

    LayoutFrame* frame(const QString& name)
    {
        // The const lookup never adds a name; a rule for a missing control is skipped.
        return const_cast<LayoutFrame*>(std::as_const(frames_).find(name));
    }
    LayoutFrame* frame(const char* name) { return frame(QString::fromLatin1(name)); }
    double titleWidth(const char* name) const { return widths_.value(QString::fromLatin1(name), 25); }
    void font(const QString& name, int size, QFont::Weight weight = QFont::Normal)
    {
        edits.push_back({ name, systemFontOfSize(size, weight) });
    }

    void run(const char* rowEdits)
    {
        for (const QString& edit : QString::fromLatin1(rowEdits).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            QStringList parts = edit.simplified().split(QLatin1Char(' '));
            const QString name = parts.takeFirst();
            LayoutFrame* f = frame(name);
            for (const QString& op : parts) {
                const QChar what = op.at(0);
                const QChar how = op.at(1);
                if (what == QLatin1Char('f')) {
                    QString size = op.mid(2);
                    QFont::Weight weight = QFont::Normal;
                    if (size.endsWith(QLatin1Char('b')) || size.endsWith(QLatin1Char('m'))) {
                        weight = size.endsWith(QLatin1Char('b')) ? QFont::Bold : QFont::Medium;
                        size.chop(1);
                    }
                    font(name, size.toInt(), weight);
                    continue;
                }
                if (!f)
                    continue;
                double& value = what == QLatin1Char('x') ? f->x
                    : what == QLatin1Char('y')           ? f->y
                    : what == QLatin1Char('w')           ? f->width
                                                         : f->height;
                const double amount = op.mid(2).toDouble();
                if (how == QLatin1Char('='))
                    value = amount;
                else
                    value += how == QLatin1Char('+') ? amount : -amount;
            }
        }
    }

    std::vector<FontEdit> edits;

private:
    FrameTable& frames_;
    const ResultsTitleWidths& widths_;
};

void photosInstructionSheet(Pass& pass, const ResultsSystemProfile& system)
{
    if (system.before10_15) {
        pass.run("lblInstructionFifth y=54; lblCountForInstructionFifth y=60");
        return;
    }
    LayoutFrame* third = pass.frame("lblInstructionThird");
    LayoutFrame* fourth = pass.frame("lblInstructionFourth");
    if (!third || !fourth)
        return;
    fourth->y = third->y - fourth->height - 8;
    if (LayoutFrame* count = pass.frame("lblCountForInstructionFourth"))
        count->y = third->y - fourth->height + 15;
}

void categoryRow(Pass& pass, const QString& language)
{
    const double gap = names("da,it,fr,sv,nb", language) ? 10 : names("de,fi", language) ? 5 : 0;
    double x = 3;
    for (const char* name : resultsCategoryRowOrder) {
        LayoutFrame* f = pass.frame(name);
        if (!f)
            continue;
        f->x = x;
        f->width = pass.titleWidth(name);
        x += f->width + gap;
    }
}

void toolbarStrip(Pass& pass, const QString& language)
{
    for (const char* name :
        { "btnAutoMark", "btnUnmarkAll", "btnSelectionAssitance", "btnSettingsInResultView", "btnGroupView" })
        pass.font(QString::fromLatin1(name), 11);
    const bool wide = names("fi,fr", language);
    // Each control follows the one before it; a missing one leaves the rest where they are.
    LayoutFrame* previous = nullptr;
    const auto place = [&](const char* name, double gap, std::optional<double> width, bool afterStart = false) {
        LayoutFrame* f = pass.frame(name);
        if (f && previous)
            f->x = previous->x + (afterStart ? 0 : previous->width) + gap;
        if (f && width)
            f->width = *width;
        previous = f;
    };
    place("btnAutoMark", 0, pass.titleWidth("btnAutoMark") + (wide ? 20 : 0));
    place("boxAutoMarkSeprator", 2, std::nullopt);
    place("btnUnmarkAll", 2, pass.titleWidth("btnUnmarkAll") + (wide ? 30 : 0), true);
    place("boxUnmarkSeprator", 2, std::nullopt);
    place("btnSelectionAssitance", 2,
        pass.titleWidth("btnSelectionAssitance")
            + (wide                            ? 40
                    : names("nl,ru", language) ? 20
                                               : 12));
    place("btnOptions", 2, std::nullopt);
    place("boxAssistanceSeprator", 2, std::nullopt);
}

void groupViewAndSettings(Pass& pass, const QString& language)
{
    if (!names("fi,fr,de,it,pt,ru,es,nl", language))
        return;
    const double gap = language == QLatin1String("nl") ? 30 : language == QLatin1String("pt") ? 20 : 10;
    const double width = names("it,ru", language) ? 160
        : names("fr,de", language)                ? 110
        : language == QLatin1String("pt")         ? 175
        : names("es,fi", language)                ? 125
                                                  : 140;
    LayoutFrame* separator = pass.frame("boxAssistanceSeprator");
    LayoutFrame* group = pass.frame("btnGroupView");
    if (group && separator) {
        group->x = separator->x + gap;
        group->width = width;
    }
    LayoutFrame* groupSeparator = pass.frame("boxGroupViewSeparator");
    if (groupSeparator && group)
        groupSeparator->x = group->x + group->width + 5;
    LayoutFrame* settings = pass.frame("btnSettingsInResultView");
    if (settings && groupSeparator) {
        const bool close = names("ru,nl", language);
        settings->x = groupSeparator->x + groupSeparator->width + (close ? 1 : 5);
        if (names("de,pt,it", language))
            settings->width = 100;
        else if (names("fi,fr", language))
            settings->width = 95;
        else if (close)
            settings->width = 80;
    }
    if (LayoutFrame* f = pass.frame("boxSettingsSeparator"))
        f->x = 769;
}

} // namespace

void applyResultsSmallScreenRules(FrameTable& frames)
{
    const ResultsTitleWidths noTitles;
    Pass pass(frames, noTitles);
    pass.run("btnSort x+10; lblNumMarkedFiles w+130; lblDupsInGroups w+80; lblDuplicateFound w+100;"
             "lblSpaceToBeSaved x+50 w+50");
}

const ResizingTable& resultsResizing()
{
    // The bars keep to the top and bottom and span the width; what sits at a
    // bar's right end keeps its distance to the edge; the result views (and
    // the lists inside the split view) take the room. The toolbar's and the
    // category row's buttons keep to the left, as the table's default has it.
    static const ResizingTable table = [] {
        ResizingTable t;
        t.set({ "viewListing", "viewNoDuplicateFound", "viewSucccess", "viewSplit" }, Follow::fill);
        t.set({ "boxHeader", "boxHeaderDetail", "boxCategories" }, Follow::topBar);
        t.set({ "boxFooter" }, Follow::bottomBar);
        t.set({ "lblSpaceToBeSaved", "verticalLine", "btnDeleteLink", "btnFullScreen", "btnSort", "btnBackToFooter",
                  "btnTrash" },
            Follow::topRight);
        return t;
    }();
    return table;
}

std::vector<ImageButtonEdit> resultsImageButtonEdits(const QString& language)
{
    const int fontSize = names("de,it,nl,sv", language) ? 15
        : language == QLatin1String("fr")               ? 13
        : language == QLatin1String("ru")               ? 11
                                                        : 0;
    if (fontSize == 0)
        return {};
    return { { QStringLiteral("btnAutoMarkPhotos"), 10, 10, fontSize },
        { QStringLiteral("btnSelectManually"), 10, 10, fontSize } };
}

std::vector<FontEdit> applyResultsLayoutRules(FrameTable& frames, const ResultsTitleWidths& titleWidths,
    const QString& language, const ResultsSystemProfile& system)
{
    Pass pass(frames, titleWidths);
    if (system.before10_15)
        pass.run("btnBackToTrash x=370");
    if (language == QLatin1String("en"))
        return std::move(pass.edits);

    photosInstructionSheet(pass, system);
    if (system.is12OrLater) {
        if (names("fr,de,ja,ru,es", language))
            pass.run("lblAutharizationSecondPoint y=125 h=34; lblAutharizationThirdPoint y=120;"
                     "lblAutharizationFourthPoint y=100; lblAutharizationFifthPoint y=77;"
                     "btnOpenSystemPref x=365 w=223; btnOkAuth x=268");
        else if (language == QLatin1String("pt"))
            pass.run("btnOpenSystemPref x=353 w=235; btnOkAuth x=255");
    }
    pass.run("lblMetaSummary w+80; lblChartSummary w+80");
    categoryRow(pass, language);
    if (names("fr,de,ru,pt,nl,fi,it,es", language))
        toolbarStrip(pass, language);
    if (names("ru,nl,es,ja,pt,fr", language)) {
        const int size = names("ru,es,ja,pt", language) ? 10 : 11;
        for (const char* name : resultsCategoryRowOrder)
            pass.font(QString::fromLatin1(name), size);
        pass.font(QStringLiteral("btnSort"), size);
    }
    if (names("ru,es,pt,fr", language))
        pass.run("lblDuplicateFound f=12m; lblSpaceToBeSaved f=12m");
    if (names("ru,sv,nl,fr,de,it,pt,es", language))
        pass.font(QStringLiteral("btnDeleteLink"), language == QLatin1String("fr") ? 9 : 11, QFont::Bold);

    for (const FixedRow& row : fixedRows) {
        if (QLatin1String(row.languages) == QLatin1String("group"))
            groupViewAndSettings(pass, language);
        else if (names(row.languages, language))
            pass.run(row.edits);
    }
    return std::move(pass.edits);
}
