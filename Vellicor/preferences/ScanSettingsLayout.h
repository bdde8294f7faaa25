#pragma once

#include "controls/LayoutFrame.h"

#include <QHash>
#include <QSize>
#include <QString>

// Where the scan settings pane and its extension editor place their
// controls: the frames as laid out for English, and the edits other
// languages make to them for their longer words.
namespace ScanSettingsLayout {

// Low enough for a 768-point screen with its panels, the window's title bar
// and the toolbar.
inline constexpr QSize paneSize { 620, 562 };
inline constexpr QSize editorSize { 460, 250 };

// The frames for English, in points from each parent's lower left.
FrameTable baseFrames();
FrameTable editorBaseFrames();
// Edits both tables for the language; also names the controls whose font
// becomes 11 or 12 points.
void adaptLayoutToLanguage(
    const QString& languageCode, FrameTable& pane, FrameTable& editor, QHash<QString, int>* fonts = nullptr);

} // namespace ScanSettingsLayout
