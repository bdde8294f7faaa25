#pragma once

#include "scan/ScanScreen.h"

#include <QString>

#include <functional>

// The progress display of a scan, as pure functions over the counters so the
// formula can be checked without a screen or a thread.
struct ScanProgressInputs {
    // Records the percentage is formed over: the walk's records for this
    // computer and the photo catalog, the listed files for the other sources.
    qint64 recordCount = 0;
    qint64 countScanned = 0;
    qint64 countProcessed = 0;
    qint64 countCompared = 0;
};

// The base of the comparison percentage while the walk runs: 0.02, rising to
// 0.05 for large scans.
double walkStageBase(qint64 recordCount);

// Counter texts, then the percentage. prog is the engine's stored base: set in
// the walk stage and kept between scans. spaceToFreeText is asked for only in
// the last stage.
void updateFileScannedCountAndSize(ScanningLabels& labels, double& prog, const ScanProgressInputs& inputs,
    const std::function<QString()>& spaceToFreeText);

// The percentage, circle and stage texts; nothing changes while there is no
// record.
void updateScanProgress(ScanningLabels& labels, double& prog, const ScanProgressInputs& inputs,
    const std::function<QString()>& spaceToFreeText);

// The end-of-scan display: the circle at 100 and "100%".
void showFullProgress(ScanningLabels& labels);

// "%.0f%%" of a fraction: the rounded percentage and a percent sign.
QString percentText(double fraction);
