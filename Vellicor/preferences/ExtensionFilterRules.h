#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

// The rules of the scan's file-type filters that hold apart from the pane
// that edits them: what the user typed as extensions, which checked filter of
// the other list a filter would clash with, and the type code of a label.

// The patterns the user typed ("*.abc, xyz; .def") as bare, lower-cased
// extensions, each once, in order; "*" and empty pieces are dropped.
QStringList normalizedPatterns(const QString& typed);
// The name of the first checked filter of other that covers an extension
// record covers, which turning record on would set against it; none when
// nothing clashes.
std::optional<QString> clashingFilter(const QVariantMap& record, const QVariantList& other);
// The label's type code: "all" 1, "doc" 2, "pic" 3, "archive" 4, "music" 5,
// "video" 6, anything else 7.
int extensionTypeForLabel(const QString& label);
