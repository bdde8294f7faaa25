#pragma once

#include <QMetaType>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

class QFontMetrics;

// What the copies of one group have alike in their paths (or their folders):
// how many '/'-separated components every one of them starts with alike and
// how many it ends with alike, the root's empty component counted. The parts
// between tell each copy apart from the others. A lone text has them all
// alike at its start: nothing of it tells it apart.
struct SharedParts {
    std::int16_t lead = 0;
    std::int16_t trail = 0;
    // The characters the differing parts of all the texts start and end
    // with alike ("Lease 2024" and "Lease 2024 (1)" differ by " (1)").
    std::int16_t apartLead = 0;
    std::int16_t apartTrail = 0;
    // For one copy among a few: the components (the first 64, by index)
    // where it first differs from each other copy. When the differing part
    // must lose folders, these stay. None known: 0.
    std::uint64_t tellsApart = 0;
    friend bool operator==(const SharedParts&, const SharedParts&) = default;
};
Q_DECLARE_METATYPE(SharedParts)

// For the copy at index copy among texts: where it first differs from each
// other one (SharedParts::tellsApart).
std::uint64_t componentsTellingApart(const std::vector<QStringView>& texts, std::size_t copy);

// The leading and trailing components the texts all have alike, and the
// characters their differing parts have alike; neither pair overlaps in the
// shortest. Reads each text twice.
SharedParts sharedParts(const std::vector<QStringView>& texts);

// A path (or a folder's path) within width points of metrics' font, for
// telling it apart from the other copies of its group (shared: what they all
// have alike). What repeats gives way first, never what tells the copy
// apart: the shared leading folders, a whole folder at a time from the start
// (the nearest stay longest), then the shared folders after the differing
// ones, then the last part (the name, or a folder's last folder) in its
// middle, down to a few letters. Only then does the differing part lose its
// folders that tell this copy from no other (tellsApart), then the last part
// goes whole, then the differing part's later folders, and last of all its
// first one gives way: what it shares with the others' at its start, in its
// middle, then at its end, the characters that differ last. Runs of dropped
// folders show as one ellipsis. Nothing drawn is wider than width unless
// not even an ellipsis fits.
QString elidedPathApart(const QFontMetrics& metrics, const QString& path, SharedParts shared, int width);
