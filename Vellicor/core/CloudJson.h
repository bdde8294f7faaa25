#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

// Readers for the cloud services' JSON that take a missing or mistyped field as
// absent instead of as a zero or an empty value.
namespace CloudJson {

QString text(const QJsonObject& json, const char* key);
std::optional<QDateTime> date(const QJsonObject& json, const char* key);
std::optional<double> number(const QJsonObject& json, const char* key);
// A number within [lowest, highest]; one outside is absent.
std::optional<double> number(const QJsonObject& json, const char* key, double lowest, double highest);
std::optional<int> integer(const QJsonObject& json, const char* key);
// 64-bit sizes arrive as numbers or, where JSON numbers lose precision, as
// decimal text; negative or fractional values are refused.
std::optional<quint64> size(const QJsonObject& json, const char* key);

} // namespace CloudJson
