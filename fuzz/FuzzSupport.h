#pragma once

// What every fuzz target shares: one application object, a private folder
// that stands for the user's home (settings, cache and configuration all
// land there, the log nowhere), and the input as a file or as JSON.

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <cstddef>
#include <cstdint>

class QCoreApplication;

namespace Fuzz {

// Makes the application object and the private home once, before the first
// input (this file's LLVMFuzzerInitialize, shared by every target). Standard
// output is silenced: the program's console notes would drown the fuzzer's
// own.
void setUp(int* argc, char*** argv);

// The application object setUp makes: a core one unless the target defines
// its own maker (pictures need the GUI's, for fonts and painting).
QCoreApplication* makeApplication(int& argc, char** argv);

// The private home made by setUp; removed when the process ends normally.
QString home();

QByteArray bytes(const uint8_t* data, size_t size);

// Replaces the file at path by the input, making its folder first.
void writeFile(const QString& path, const QByteArray& content);

// The input as a service's answer: its object, or an empty one when it is
// not a JSON object (as the program's client hands it on).
QJsonObject answerObject(const QByteArray& content);

} // namespace Fuzz
