#include "controls/ImageDirectoryLoader.h"

void ImageDirectoryLoader::loadImageFiles(const std::optional<QList<QUrl>>& urls)
{
    if (urls) {
        imageFiles.clear();
        imageFiles.reserve(urls->size());
        for (const QUrl& url : *urls) {
            auto file = std::make_shared<ImageFile>();
            file->fileName = url.fileName();
            imageFiles.push_back(std::move(file));
        }
    }
    sectionsAttributesArray.clear();
    numberOfSections = 1;
    if (singleSectionMode) {
        sectionsAttributesArray.push_back({ 0, qint64(imageFiles.size()) });
        return;
    }
    buildSectionsFromLengths();
}

void ImageDirectoryLoader::buildSectionsFromLengths()
{
    const qint64 n = qint64(imageFiles.size());
    const std::vector<qint64>& lengths = sectionLengthArray;
    if (lengths.size() < 2 || lengths[0] >= n) {
        sectionsAttributesArray.push_back({ 0, n });
        return;
    }
    // A negative wanted length would make sections overlap; it counts as 0.
    sectionsAttributesArray.push_back({ 0, qMax<qint64>(0, lengths[0]) });
    for (std::size_t k = 1; k < lengths.size(); ++k) {
        ++numberOfSections;
        const SectionAttributes& previous = sectionsAttributesArray.back();
        const qint64 offset = previous.sectionOffset + previous.sectionLength;
        const qint64 length = qMax<qint64>(0, lengths[k]);
        if (offset + length < n) {
            sectionsAttributesArray.push_back({ offset, length });
            continue;
        }
        sectionsAttributesArray.push_back({ offset, n - offset });
        break;
    }
}
