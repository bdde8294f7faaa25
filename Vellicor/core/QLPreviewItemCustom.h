#pragma once

#include <QUrl>

#include <optional>

// The item handed to the preview window: one previewed file.
class QLPreviewItemCustom {
public:
    std::optional<QUrl> previewItemURL() const { return url_; }
    void setPreviewItemURL(const std::optional<QUrl>& url) { url_ = url; }

private:
    std::optional<QUrl> url_;
};
