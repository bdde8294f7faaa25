#include "controls/PathShortening.h"

#include <QFontMetrics>
#include <QList>
#include <QStringList>

#include <algorithm>
#include <limits>

namespace {

const QChar ellipsis(0x2026);

std::int16_t narrowed(qsizetype count)
{
    return std::int16_t(std::min<qsizetype>(count, std::numeric_limits<std::int16_t>::max()));
}

// The characters from where component first starts to where component end
// starts (its '/' left out), in text split into parts.
QStringView componentsOf(QStringView text, const QList<QStringView>& parts, qsizetype first, qsizetype end)
{
    qsizetype from = 0;
    for (qsizetype i = 0; i < first; ++i)
        from += parts[i].size() + 1;
    qsizetype length = 0;
    for (qsizetype i = first; i < end; ++i)
        length += parts[i].size() + (i > first ? 1 : 0);
    return text.mid(std::min(from, text.size()), length);
}

// What the sequences have alike at their start and at their end, found by
// taking one after another: narrows lead and trail (started at the first
// one's length) to what other has alike with first, and fewest to the
// shortest length; then the two are made not to overlap in the shortest.
struct Alike {
    qsizetype lead = 0;
    qsizetype trail = 0;
    qsizetype fewest = 0;

    template <typename Sequence> explicit Alike(const Sequence& first)
        : lead(first.size())
        , trail(first.size())
        , fewest(first.size())
    {
    }
    template <typename Sequence> void take(const Sequence& first, const Sequence& other)
    {
        fewest = std::min(fewest, qsizetype(other.size()));
        qsizetype same = 0;
        while (same < lead && same < other.size() && other[same] == first[same])
            ++same;
        lead = same;
        same = 0;
        while (same < trail && same < other.size() && other[other.size() - 1 - same] == first[first.size() - 1 - same])
            ++same;
        trail = same;
    }
    void finish()
    {
        lead = std::min(lead, fewest);
        trail = std::min(trail, fewest - lead);
    }
};

} // namespace

SharedParts sharedParts(const std::vector<QStringView>& texts)
{
    if (texts.empty())
        return {};
    // Whole components first.
    const QList<QStringView> first = texts.front().split(QLatin1Char('/'));
    Alike components(first);
    for (std::size_t t = 1; t < texts.size(); ++t)
        components.take(first, texts[t].split(QLatin1Char('/')));
    components.finish();
    // Then the characters of the differing parts.
    const auto apartOf = [&](QStringView text, const QList<QStringView>& parts) {
        return componentsOf(text, parts, components.lead, parts.size() - components.trail);
    };
    const QStringView firstApart = apartOf(texts.front(), first);
    Alike characters(firstApart);
    for (std::size_t t = 1; t < texts.size(); ++t)
        characters.take(firstApart, apartOf(texts[t], texts[t].split(QLatin1Char('/'))));
    characters.finish();
    return { narrowed(components.lead), narrowed(components.trail), narrowed(characters.lead),
        narrowed(characters.trail) };
}

std::uint64_t componentsTellingApart(const std::vector<QStringView>& texts, std::size_t copy)
{
    if (copy >= texts.size())
        return 0;
    const QList<QStringView> own = texts[copy].split(QLatin1Char('/'));
    std::uint64_t components = 0;
    for (std::size_t t = 0; t < texts.size(); ++t) {
        if (t == copy)
            continue;
        const QList<QStringView> other = texts[t].split(QLatin1Char('/'));
        qsizetype same = 0;
        while (same < own.size() && same < other.size() && own[same] == other[same])
            ++same;
        if (same < 64)
            components |= std::uint64_t(1) << same;
    }
    return components;
}

namespace {

// One '/'-separated part of a shortened path: as shown (its middle maybe
// given way), or dropped. A run of dropped parts shows as one ellipsis.
struct Segment {
    QString text;
    bool dropped = false;
};

QString joined(const std::vector<Segment>& segments)
{
    QStringList shown;
    bool dropping = false;
    for (const Segment& segment : segments) {
        if (segment.dropped && !dropping)
            shown << QString(ellipsis);
        else if (!segment.dropped)
            shown << segment.text;
        dropping = segment.dropped;
    }
    return shown.join(QLatin1Char('/'));
}

QString atLeastAnEllipsis(const QString& text)
{
    return text.isEmpty() ? QString(ellipsis) : text;
}

} // namespace

QString elidedPathApart(const QFontMetrics& metrics, const QString& path, SharedParts shared, int width)
{
    if (metrics.horizontalAdvance(path) <= width)
        return path;
    const QStringList parts = path.split(QLatin1Char('/'));
    const qsizetype count = parts.size();
    if (count < 2)
        return atLeastAnEllipsis(metrics.elidedText(path, Qt::ElideMiddle, width));
    // The differing parts are [first, end); the rest repeats. When nothing
    // differs, all but the last part lead.
    qsizetype first = std::clamp<qsizetype>(shared.lead, 0, count);
    qsizetype end = std::clamp<qsizetype>(count - shared.trail, first, count);
    const bool nothingApart = first == end;
    if (nothingApart)
        first = end = count - 1;
    const bool lastApart = end == count;
    std::vector<Segment> segments;
    segments.reserve(std::size_t(count));
    for (const QString& part : parts)
        segments.push_back({ part, false });
    const auto text = [&] { return joined(segments); };
    const auto fits = [&] { return metrics.horizontalAdvance(text()) <= width; };
    // Drops the parts from..to one at a time until the text fits; when none
    // does, keeps them all dropped unless that is wider than none (an
    // ellipsis for the root's empty name alone).
    const auto dropInTurn = [&](qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to; ++i) {
            segments[std::size_t(i)].dropped = true;
            if (fits())
                return true;
        }
        const QString allDropped = text();
        for (qsizetype i = from; i < to; ++i)
            segments[std::size_t(i)].dropped = false;
        if (metrics.horizontalAdvance(text()) > metrics.horizontalAdvance(allDropped)) {
            for (qsizetype i = from; i < to; ++i)
                segments[std::size_t(i)].dropped = true;
        }
        return false;
    };
    // The shared leading folders from the start, then the shared folders
    // after the differing ones from theirs: the nearest the name stay.
    if (dropInTurn(0, first) || (!lastApart && dropInTurn(end, count - 1)))
        return text();
    // The differing part's folders that tell this copy from no other, from
    // its start: the nearest the name stay.
    const auto tells = [&](qsizetype i) { return i < 64 && ((shared.tellsApart >> i) & 1U) != 0; };
    for (qsizetype i = first; i < end && !nothingApart && shared.tellsApart != 0; ++i) {
        if (tells(i))
            continue;
        segments[std::size_t(i)].dropped = true;
        if (fits())
            return text();
    }
    // The last part in its middle, down to a few letters.
    Segment& last = segments.back();
    const QString lastWhole = parts.last();
    if (!lastApart) {
        const int leastLast = std::min(metrics.horizontalAdvance(lastWhole), 6 * metrics.averageCharWidth());
        last.text.clear();
        const int room = width - metrics.horizontalAdvance(text());
        last.text = metrics.elidedText(lastWhole, Qt::ElideMiddle, std::max(room, leastLast));
        if (room >= leastLast)
            return text();
    }
    if (!nothingApart) {
        // The last part repeats in the other copies: it goes whole before
        // what tells the copies apart.
        if (!lastApart) {
            last.dropped = true;
            if (fits())
                return text();
        }
        // Then the differing part's later folders, its first kept one
        // staying.
        qsizetype kept = first;
        while (kept < end - 1 && segments[std::size_t(kept)].dropped)
            ++kept;
        for (qsizetype i = end - 1; i > kept; --i) {
            if (segments[std::size_t(i)].dropped)
                continue;
            segments[std::size_t(i)].dropped = true;
            if (fits())
                return text();
        }
        // Then the first differing part itself: what it shares with the
        // others' at its start, in its middle, then what it shares at its
        // end, the characters that differ last of all.
        Segment& apart = segments[std::size_t(kept)];
        const QString whole = apart.text;
        const bool alone = end - first == 1;
        const qsizetype startAlike = kept == first ? std::clamp<qsizetype>(shared.apartLead, 0, whole.size()) : 0;
        const qsizetype endAlike = alone ? std::clamp<qsizetype>(shared.apartTrail, 0, whole.size() - startAlike) : 0;
        const QString start = whole.left(startAlike);
        const QString differing = whole.mid(startAlike, whole.size() - startAlike - endAlike);
        const QString ending = whole.right(endAlike);
        apart.text.clear();
        const int room = std::max(width - metrics.horizontalAdvance(text()), 0);
        const int differingWidth = metrics.horizontalAdvance(differing);
        const int ellipsisWidth = metrics.horizontalAdvance(ellipsis);
        const int startRoom = room - differingWidth - metrics.horizontalAdvance(ending);
        if (startRoom >= ellipsisWidth || (start.isEmpty() && startRoom >= 0)) {
            apart.text = metrics.elidedText(start, Qt::ElideMiddle, startRoom) + differing + ending;
        } else {
            const QString head = start.isEmpty() ? QString() : QString(ellipsis);
            const int endRoom = room - metrics.horizontalAdvance(head) - differingWidth;
            apart.text = endRoom >= 0
                ? head + differing + metrics.elidedText(ending, Qt::ElideMiddle, endRoom)
                : head + metrics.elidedText(differing, Qt::ElideMiddle, room - metrics.horizontalAdvance(head));
        }
        if (fits())
            return text();
    }
    return atLeastAnEllipsis(metrics.elidedText(text(), Qt::ElideMiddle, width));
}
