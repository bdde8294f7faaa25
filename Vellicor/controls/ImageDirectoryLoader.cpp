#include "controls/ImageDirectoryLoader.h"

std::shared_ptr<ImageFile> ImageFileList::operator[](std::size_t index) const
{
    auto file = std::make_shared<ImageFile>();
    if (nameOf_ && qint64(index) < count_)
        file->fileName = nameOf_(qint64(index));
    return file;
}

void ImageDirectoryLoader::loadImageFiles(const std::optional<QList<QUrl>>& urls)
{
    if (urls) {
        // The list is shared, not copied; a name is taken when asked for.
        imageFiles.count_ = urls->size();
        imageFiles.nameOf_ = [urls = *urls](qint64 index) { return urls.at(index).fileName(); };
    }
    buildSections();
}

void ImageDirectoryLoader::loadImageFiles(qint64 fileCount, ImageFileList::NameReader nameOf)
{
    imageFiles.count_ = qMax<qint64>(0, fileCount);
    imageFiles.nameOf_ = std::move(nameOf);
    buildSections();
}

void ImageDirectoryLoader::buildSections()
{
    sectionsAttributesArray.clear();
    numberOfSections = 1;
    if (singleSectionMode) {
        sectionsAttributesArray.push_back({ 0, imageFiles.count_ });
        return;
    }
    buildSectionsFromLengths();
}

void ImageDirectoryLoader::buildSectionsFromLengths()
{
    const qint64 n = imageFiles.count_;
    const std::vector<qint64>& lengths = sectionLengthArray;
    if (lengths.size() < 2 || lengths[0] >= n) {
        sectionsAttributesArray.push_back({ 0, n });
        return;
    }
    sectionsAttributesArray.reserve(lengths.size());
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
