#include "cleanup/TrashQuestion.h"

#include "core/Localization.h"
#include "core/TextFormat.h"

#include <QStringList>

TrashQuestion trashQuestion(ScanSource source, qint64 shown, qint64 hidden, bool networkNote)
{
    const bool catalog = removalKeepsFiles(source);
    TrashQuestion question;
    question.networkNote = networkNote;
    question.proceed = localizedText(catalog ? "ID_REMOVE_FROM_CATALOG" : networkNote ? "ID_DELETE" : "ID_TRASH");
    if (hidden <= 0 && shown == 1) {
        question.heading = localizedText(
            catalog ? "ID_REMOVE_MARKED_FILE_FROM_CATALOG" : "ID_ARE_YOU_SURE_WANT_TO_DELETE_MARKED_ITEM");
    } else if (hidden <= 0) {
        question.heading
            = localizedText(catalog ? "ID_REMOVE_ALL_MARKED_FROM_CATALOG" : "ID_ARE_YOU_SURE_WANT_TO_DELETE_ALL_MARKED_ITEMS");
    } else if (shown == 1) {
        question.heading
            = localizedText(catalog ? "ID_REMOVE_SHOWN_MARKED_FILE_FROM_CATALOG" : "ID_DELETE_SHOWN_MARKED_FILE");
    } else {
        question.heading = formatText(
            localizedText(catalog ? "ID_REMOVE_SHOWN_MARKED_FILES_FROM_CATALOG" : "ID_DELETE_SHOWN_MARKED_FILES"),
            { shown });
    }
    QStringList info;
    if (catalog)
        info.append(localizedText(shown == 1 ? "ID_CATALOG_REMOVAL_KEEPS_FILE" : "ID_CATALOG_REMOVAL_KEEPS_FILES"));
    if (hidden > 0)
        info.append(formatText(
            localizedText(hidden == 1 ? "ID_HIDDEN_MARKED_FILE_STAYS" : "ID_HIDDEN_MARKED_FILES_STAY"), { hidden }));
    if (info.isEmpty())
        info.append(localizedText("ID_ITS_STRONGLY_RECOMMENDED_REVIEW_ALL_ITEMS_BEFORE_CLEANING"));
    question.info = info.join(QLatin1Char('\n'));
    return question;
}
