#include "scan/ScanProgress.h"

#include "core/Localization.h"

#include <cstdio>

double walkStageBase(qint64 recordCount)
{
    if (recordCount > 6000)
        return 0.05;
    if (recordCount > 4000)
        return 0.04;
    if (recordCount > 2000)
        return 0.03;
    return 0.02;
}

QString percentText(double fraction)
{
    // printf rounds the exact binary value, halves to even: 0.125 shows 12%,
    // 0.135 (a little above its decimal) shows 14%.
    char digits[32];
    std::snprintf(digits, sizeof digits, "%.0f%%", fraction * 100.0);
    return QString::fromLatin1(digits);
}

void updateFileScannedCountAndSize(ScanningLabels& labels, double& prog, const ScanProgressInputs& inputs,
    const std::function<QString()>& spaceToFreeText)
{
    const QString scanned = QString::number(inputs.countScanned);
    if (inputs.countProcessed > 0) {
        labels.lblAdd = localizedText(QStringLiteral("ID_SCANNING"));
        labels.lblFileProcessedStr = localizedText(QStringLiteral("ID_FILE_PROCESSED"));
        labels.lblFileProcessed = QString::number(inputs.countProcessed) + QLatin1Char('/') + scanned;
    } else {
        labels.lblAdd = localizedText(QStringLiteral("ID_ADDING"));
        labels.lblFileProcessedStr = localizedText(QStringLiteral("ID_FILES_ADDED"));
        labels.lblFileProcessed = scanned;
    }
    labels.lblFileScanCount = scanned;
    labels.lblFileCompared = QString::number(inputs.countCompared);
    labels.lblFileComparedStr = localizedText(
        inputs.countCompared == 0 ? QStringLiteral("ID_FILE_COMPARED") : QStringLiteral("ID_FILES_COMPARED"));
    updateScanProgress(labels, prog, inputs, spaceToFreeText);
}

void updateScanProgress(ScanningLabels& labels, double& prog, const ScanProgressInputs& inputs,
    const std::function<QString()>& spaceToFreeText)
{
    const qint64 n = inputs.recordCount;
    if (n <= 0)
        return;
    if (inputs.countCompared <= 0) {
        prog = walkStageBase(n);
        labels.lblScanPer = percentText(prog);
        labels.progress = prog;
        return;
    }
    const double f = (static_cast<double>(inputs.countCompared) / static_cast<double>(n)) / 1.3 + prog;
    labels.lblScanPer = percentText(f);
    labels.progress = f;
    const QString scanned = QString::number(inputs.countScanned);
    if (f > 0.4 && f <= 0.75) {
        labels.lblAddingPhotos = localizedText(QStringLiteral("ID_COMPAREING_FILES"));
        labels.lblFileProcessed = scanned;
        labels.lblAdd = localizedText(QStringLiteral("ID_COMPARING"));
    } else if (f > 0.75) {
        labels.lblAddingPhotos = localizedText(QStringLiteral("ID_SEARCHING_DUPLICATES"));
        labels.lblAdd = localizedText(QStringLiteral("ID_SCANNING"));
        labels.lblFileProcessed = scanned;
        labels.lblFileCompared = spaceToFreeText ? spaceToFreeText() : QString();
        labels.lblFileComparedStr = localizedText(QStringLiteral("ID_DISK_SPACE_TO_FREE_UP"));
    }
}

void showFullProgress(ScanningLabels& labels)
{
    labels.progress = 100;
    labels.lblScanPer = QStringLiteral("100%");
}
