#pragma once

// The results screen's views: the flat list, the outline of groups, the
// thumbnail grid.
enum class ResultViewMode { list, group, grid };
