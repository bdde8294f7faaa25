#include "preferences/SearchOptionsVC.h"

#include "base/Log.h"
#include "base/UserDefaults.h"
#include "core/AppNotifier.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "preferences/PaneLayout.h"
#include "preferences/PreferencesKit.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

#include <cstdio>

namespace {

using ScanContent = GlobalObjects::ScanContent;

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

// The integer entries of a stored criteria list; none when it is not a list.
std::optional<QList<qint64>> readCriteria(const UserDefaults& defaults)
{
    const std::optional<QVariantList> stored = defaults.arrayValue(key(SettingsKey::searchOptions));
    if (!stored)
        return std::nullopt;
    QList<qint64> codes;
    for (const QVariant& entry : *stored) {
        if (const std::optional<qint64> code = Setting::toInteger(entry))
            codes.append(*code);
    }
    return codes;
}

void writeCriteria(UserDefaults& defaults, const QList<qint64>& codes)
{
    QVariantList stored;
    for (const qint64 code : codes)
        stored.append(QVariant::fromValue<qlonglong>(code));
    defaults.setValue(key(SettingsKey::searchOptions), stored);
}

} // namespace

SearchOptionsVC::SearchOptionsVC(UserDefaults& defaults, QWidget* parent)
    : PreferencePane(parent)
    , defaults_(defaults)
    , title_(localizedText("ID_SEARCH_OPTIONS"))
    , icon_(paneIcon(QStringLiteral("search-options")))
{
    auto box = [](const char* name, const QString& title) {
        auto* check = new QCheckBox(title);
        check->setObjectName(QString::fromLatin1(name));
        return check;
    };
    btnSameContent = box("btnSameContent", localizedText("ID_SAME_CONTENT"));
    btnIgnoreContent = box("btnIgnoreContent", localizedText("ID_IGNORE_CONTENT"));
    btnSameFileName = box("btnSameFileName", QString());
    btnSimillarFileName = box("btnSimillarFileName", localizedText("ID_SIMILLAR_FILE_NAME"));
    btnSameFileSize = box("btnSameFileSize", QString());
    btnSameCreatedDate = box("btnSameCreatedDate", localizedText("ID_SAME_CREATED_DATE"));
    btnSameModifiedDate = box("btnSameModifiedDate", localizedText("ID_SAME_MODIFIED_DATE"));
    lblFindFilesWith1 = new QLabel(localizedText("ID_FILES_WITH"));
    lblFindFilesWith2 = new QLabel(localizedText("ID_FILES_WITH"));
    lblSameFileName = new QLabel(localizedText("ID_SAME_FILE_NAME"));
    lblSameFileSize = new QLabel(localizedText("ID_SAME_FILE_SIZE"));
    // The texts beside the two untitled boxes click them, as a title would.
    lblSameFileName->setBuddy(btnSameFileName);
    lblSameFileSize->setBuddy(btnSameFileSize);

    auto* body = new PreferencesContainer(560, this);
    body->addSection(lblFindFilesWith1, { btnSameContent, btnIgnoreContent }, true);
    body->addSection(lblFindFilesWith2,
        { preferencesLine({ btnSameFileName, lblSameFileName }), btnSimillarFileName,
            preferencesLine({ btnSameFileSize, lblSameFileSize }), btnSameCreatedDate, btnSameModifiedDate });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(body);

    for (QCheckBox* content : { btnSameContent.get(), btnIgnoreContent.get() })
        connect(content, &QCheckBox::clicked, this, [this, content] { saveSearchContent(content); });
    for (QCheckBox* criterion : { btnSameFileName.get(), btnSimillarFileName.get(), btnSameFileSize.get(),
             btnSameCreatedDate.get(), btnSameModifiedDate.get() })
        connect(criterion, &QCheckBox::clicked, this, [this] { saveSearchOptions(); });
    connect(&AppNotifier::instance(), &AppNotifier::PreferencesResetToDefaults, this, [this] { loadSearchOptions(); });

    loadSearchOptions();

    if (currentLanguageCode == QLatin1String("es"))
        btnSameFileName->setFixedWidth(btnSameFileName->sizeHint().width() + 50);
    if (currentLanguageCode == QLatin1String("fi"))
        lblFindFilesWith2->setMinimumWidth(lblFindFilesWith2->sizeHint().width() + 30);
}

void SearchOptionsVC::saveSearchContent(QAbstractButton* sender)
{
    if (sender == btnSameContent)
        searchContetOptns = ScanContent::sameContent;
    else if (sender == btnIgnoreContent)
        searchContetOptns = ScanContent::ignoreContent;
    const bool same = searchContetOptns == ScanContent::sameContent;
    btnSameContent->setChecked(same);
    btnIgnoreContent->setChecked(!same);
    btnSameFileSize->setChecked(same);
    btnSameFileSize->setEnabled(!same);

    defaults_.setValue(key(SettingsKey::searchContent), QVariant::fromValue<qlonglong>(same ? 1 : 2));

    QList<qint64> codes = readCriteria(defaults_).value_or(QList<qint64>());
    if (same && !codes.contains(3))
        codes.append(3);
    else if (!same)
        codes.removeOne(3);
    writeCriteria(defaults_, codes);
}

void SearchOptionsVC::saveSearchOptions()
{
    QList<qint64> codes;
    const std::pair<QCheckBox*, qint64> boxes[] = { { btnSameFileName, 1 }, { btnSimillarFileName, 2 },
        { btnSameFileSize, 3 }, { btnSameCreatedDate, 4 }, { btnSameModifiedDate, 5 } };
    for (const auto& [box, code] : boxes) {
        if (box->isChecked()) {
            if (!codes.contains(code))
                codes.append(code);
        } else {
            codes.removeOne(code);
        }
        if (code == 2) {
            btnSameFileName->setEnabled(!box->isChecked());
            if (box->isChecked()) {
                btnSameFileName->setChecked(false);
                codes.removeOne(1);
            }
        }
    }
    writeCriteria(defaults_, codes);
}

void SearchOptionsVC::loadSearchOptions()
{
    if (const std::optional<qint64> content = defaults_.integerValue(key(SettingsKey::searchContent)))
        saveSearchContent(*content == 1 ? btnSameContent.get() : btnIgnoreContent.get());

    const std::optional<QList<qint64>> codes = readCriteria(defaults_);
    if (!codes)
        return;
    for (QCheckBox* box : { btnSameFileName.get(), btnSimillarFileName.get(), btnSameFileSize.get(),
             btnSameCreatedDate.get(), btnSameModifiedDate.get() })
        box->setChecked(false);
    for (const qint64 code : *codes) {
        switch (code) {
        case 1:
            btnSameFileName->setChecked(true);
            break;
        case 2:
            btnSimillarFileName->setChecked(true);
            btnSameFileName->setEnabled(false);
            break;
        case 3:
            btnSameFileSize->setChecked(true);
            break;
        case 4:
            btnSameCreatedDate->setChecked(true);
            break;
        case 5:
            btnSameModifiedDate->setChecked(true);
            break;
        default:
            Log::print("Unknown search criterion skipped:", code);
            break;
        }
    }
    btnSameFileName->setEnabled(!codes->contains(2));
}
