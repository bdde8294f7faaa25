#include "ScanDriver.h"

#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "core/AppStartup.h"
#include "core/FileUtilities.h"
#include "core/GlobalObjects.h"
#include "core/SettingsSchema.h"
#include "scan/PathExclusionPredicate.h"
#include "scan/ScanEngine.h"
#include "scan/ScanScreen.h"
#include "scan/ScanSources.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <sys/stat.h>

namespace {

// Stands in for the home screen and the alert sheets: keeps the result set and
// the alerts, and answers every alert with its first button without showing
// anything. GUI thread.
class HeadlessScanScreen : public ScanScreen, public AlertPresenter {
public:
    QStringList alertTexts;

    int present(const AlertRequest& request) override
    {
        QString text = request.messageText;
        if (!request.informativeText.isEmpty())
            text += QLatin1Char(' ') + request.informativeText;
        alertTexts.append(text);
        return 0;
    }
    void showScanningLabels(const ScanningLabels&) override { }
    void showScannedPath(const QString&, const QString&) override { }
    void showScanningState(bool, bool) override { }
    void setScanNowButtonState(int, bool) override { }
    void setAbortButtonEnabled(bool) override { }
    void setResultButtonEnabled(bool) override { }
    void showScanningSheet() override { }
    void hideScanningSheet() override { }
    void showLastScanRecord(const QString&, const QString&, const std::optional<QString>&) override { }
    void showPreferencesPane(const QString&) override { }
    void showHomeView() override { }
    void showResults(const ScanResultPtr&) override { }
};

// Installs a presenter for as long as it lives; the standard one comes back
// afterwards.
class ScopedAlertPresenter {
public:
    explicit ScopedAlertPresenter(AlertPresenter& presenter)
    {
        setAlertPresenter(std::shared_ptr<AlertPresenter>(&presenter, [](AlertPresenter*) {}));
    }
    ~ScopedAlertPresenter() { setAlertPresenter(nullptr); }
    ScopedAlertPresenter(const ScopedAlertPresenter&) = delete;
    ScopedAlertPresenter& operator=(const ScopedAlertPresenter&) = delete;
};

std::optional<QVariantList> parseCriteria(const QString& text)
{
    QVariantList criteria;
    for (const QString& item : text.split(QLatin1Char(','))) {
        bool ok = false;
        const qlonglong value = item.trimmed().toLongLong(&ok);
        if (!ok || value < 1 || value > 5)
            return std::nullopt;
        criteria.append(value);
    }
    return criteria;
}

// The rows of a filter list with every "state" set to state, or only the
// row of key when key is given.
QVariantList withRowStates(const QVariant& list, int state, const QString& key = QString())
{
    QVariantList rows = Setting::toArray(list).value_or(QVariantList());
    for (QVariant& element : rows) {
        std::optional<QVariantMap> row = Setting::toDictionary(element);
        if (!row)
            continue;
        if (!key.isEmpty() && Setting::toText(row->value(QStringLiteral("keyStr"))) != key)
            continue;
        row->insert(QStringLiteral("state"), qlonglong(state));
        element = *row;
    }
    return rows;
}

void printLine(std::FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s\n", printablePath(text).toLocal8Bit().constData());
}

int refuse(std::FILE* err, const QString& problem)
{
    printLine(err, QStringLiteral("vellicor-scan: ") + problem);
    std::fprintf(err, "%s\n", scanDriverUsage);
    return 2;
}

} // namespace

std::variant<ScanDriverOptions, QString> parseScanDriverArguments(const QStringList& arguments)
{
    const QCommandLineOption attributes(QStringLiteral("attributes"));
    const QCommandLineOption criteria(QStringLiteral("criteria"), QString(), QStringLiteral("list"));
    const QCommandLineOption minSize(QStringLiteral("min-size-option"), QString(), QStringLiteral("N"));
    QCommandLineParser parser;
    parser.addOptions({ attributes, criteria, minSize });
    // The parser reads element 0 as the program name.
    if (!parser.parse(QStringList { QStringLiteral("vellicor-scan") } + arguments))
        return parser.errorText();

    ScanDriverOptions options;
    options.attributes = parser.isSet(attributes);
    if (parser.isSet(criteria)) {
        options.criteria = parseCriteria(parser.value(criteria));
        if (!options.criteria)
            return QStringLiteral("--criteria takes a comma-separated list of numbers from 1 to 5, not '%1'.")
                .arg(parser.value(criteria));
    }
    if (parser.isSet(minSize)) {
        bool ok = false;
        options.minSizeOption = parser.value(minSize).toLongLong(&ok);
        if (!ok)
            return QStringLiteral("--min-size-option takes a whole number, not '%1'.").arg(parser.value(minSize));
    }
    options.paths = parser.positionalArguments();
    if (options.paths.isEmpty())
        return QStringLiteral("no PATH given.");
    return options;
}

void applyScanDriverSettings(UserDefaults& defaults, const ScanDriverOptions& options)
{
    defaults.setVolatileValue(QLatin1String(SettingsKey::includeExtensionList),
        withRowStates(defaults.object(QLatin1String(SettingsKey::includeExtensionList)), 1,
            QLatin1String(ExtensionFilterKey::all)));
    defaults.setVolatileValue(QLatin1String(SettingsKey::excludeExtensionList),
        withRowStates(defaults.object(QLatin1String(SettingsKey::excludeExtensionList)), 0));
    defaults.setVolatileValue(QLatin1String(SettingsKey::searchContent), qlonglong(options.attributes ? 2 : 1));
    if (options.criteria)
        defaults.setVolatileValue(QLatin1String(SettingsKey::searchOptions), *options.criteria);
    if (options.minSizeOption)
        defaults.setVolatileValue(QLatin1String(SettingsKey::excludeDuplicateLessSizeInKB), *options.minSizeOption);
}

void writeDuplicateGroups(const std::vector<DuplicateGroupPtr>& groups, std::FILE* out)
{
    // Written as it goes, so that printing a large result needs no copy of it.
    for (const DuplicateGroupPtr& group : groups) {
        if (!group || group->children.size() < 2)
            continue;
        for (const FileInfoNodePtr& record : group->children) {
            // Escaped as the log escapes names: a name holding a line break, a
            // terminal sequence or a bidirectional override reaches the
            // terminal as text, on one line.
            const QByteArray path = printablePath(record->filePath.value_or(QString())).toUtf8();
            std::fwrite(path.constData(), 1, static_cast<std::size_t>(path.size()), out);
            std::fputc('\n', out);
        }
        std::fputc('\n', out);
    }
}

int runScanDriver(const QStringList& arguments, std::FILE* out, std::FILE* err, bool endProcess)
{
    const std::variant<ScanDriverOptions, QString> parsed = parseScanDriverArguments(arguments);
    if (const QString* problem = std::get_if<QString>(&parsed))
        return refuse(err, *problem);
    const ScanDriverOptions& options = std::get<ScanDriverOptions>(parsed);

    // Rows hold absolute paths, as a folder chooser gives them.
    QStringList paths;
    for (const QString& path : options.paths) {
        struct stat status { };
        if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &status) != 0)
            return refuse(err, QStringLiteral("no such file or folder: '%1'.").arg(path));
        paths.append(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    }

    // Nothing is read or made without a home folder of the user's own.
    if (const std::optional<StartRefusal> refusal = homeFolderRefusal()) {
        printLine(err, QStringLiteral("vellicor-scan: ") + refusal->message + QLatin1Char(' ') + refusal->details);
        return 2;
    }
    UserDefaults& defaults = UserDefaults::standard();
    startApplicationCore(defaults);
    applyScanDriverSettings(defaults, options);
    reloadExtensionTables(defaults);
    scanCategoryFlags.fill(true);

    HeadlessScanScreen screen;
    const ScopedAlertPresenter presenter(screen);
    // The excluded folders are the stored ones; the scan list is the driver's
    // own and never stored over the user's.
    ScanSources sources(defaults);
    ScanEngine engine(screen, defaults, sources);
    engine.setEndOfScanPauses(0, 0);
    std::vector<FilePathNodePtr> rows;
    for (const QString& path : paths) {
        auto row = std::make_shared<FilePathNode>();
        row->filePath = path;
        row->state = 1;
        row->isIncludeSubFolders = true;
        rows.push_back(std::move(row));
    }
    sources.replace(ScanSource::thisComputer, SourceList::scan, std::move(rows), ScanSources::Store::no);
    // A folder the exclusions keep out is told, or its files would be
    // missing from the count without a word.
    if (const std::optional<PathExclusionPredicate> excluded
        = makeDirExclusionPredicate(sources.excludeList(ScanSource::thisComputer))) {
        for (const QString& path : paths) {
            if (const std::optional<LocationExclusion> exclusion = locationExclusion(*excluded, path))
                printLine(err,
                    QStringLiteral("vellicor-scan: not scanned: ") + locationExclusionText(path, *exclusion) + '.');
        }
    }

    QEventLoop loop;
    bool ended = false;
    ScanResultPtr result;
    QObject::connect(&engine, &ScanEngine::scanEnded, &loop, [&](const ScanResultPtr& finished) {
        ended = true;
        result = finished;
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    engine.btnStartScanTapped();
    if (!isScanRunning && !ended) {
        // Scan Now refused, with its reason in an alert.
        return refuse(err, screen.alertTexts.join(QLatin1Char(' ')));
    }
    if (!ended)
        loop.exec();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    // The scan's record in the history, saved behind, is in the file before
    // the process ends.
    defaults.synchronize();

    writeDuplicateGroups(result->groups, out);
    std::fflush(out);
    printLine(err,
        QStringLiteral("vellicor-scan: %1 files scanned, %2 skipped, %3 groups, %4 duplicate files, "
                       "%5 duplicate bytes, %6 s")
            .arg(result->countScanned)
            .arg(result->skippedCount)
            .arg(result->groups.size())
            .arg(result->dupCount)
            .arg(result->sizeDup)
            .arg(seconds, 0, 'f', 3));
    if (endProcess) {
        // The settings and the cache database are on disk already.
        std::fflush(out);
        std::fflush(err);
        std::_Exit(0);
    }
    return 0;
}
