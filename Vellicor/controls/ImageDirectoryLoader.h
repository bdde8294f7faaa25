#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// One file of the thumbnail grid, as the section loader keeps it.
class ImageFile {
public:
    std::optional<QImage> thumbnail;
    QString fileName;
};

// The loader's files in their order. Only their number is kept: a file's
// record is made when it is asked for, its name read from whoever fed the
// loader, so that a grid of a million files holds nothing per file here.
class ImageFileList {
public:
    using NameReader = std::function<QString(qint64 index)>;

    std::size_t size() const { return std::size_t(count_); }
    bool empty() const { return count_ == 0; }
    // A new record of the file at index (below size), without a thumbnail.
    std::shared_ptr<ImageFile> operator[](std::size_t index) const;

private:
    friend class ImageDirectoryLoader;

    qint64 count_ = 0;
    NameReader nameOf_;
};

// Turns a flat list of files and the wanted lengths of their sections (one
// per group of duplicates) into the sections of the thumbnail grid: where
// each starts in the flat list and how many files it holds. The owner sets
// singleSectionMode and sectionLengthArray, calls loadImageFiles, then reads
// numberOfSections and sectionsAttributesArray. It keeps 24 bytes per section
// and none per file. Not thread-safe; the owner may rebuild on a worker as
// long as nothing reads meanwhile.
class ImageDirectoryLoader {
public:
    struct SectionAttributes {
        qint64 sectionOffset = 0;
        qint64 sectionLength = 0;

        friend bool operator==(const SectionAttributes&, const SectionAttributes&) = default;
    };

    // Replaces the files by one per URL, named by its last component, when
    // urls is given, then rebuilds the sections: in single-section mode one
    // section of every file; otherwise sections of the wanted lengths, the
    // last one cut to the files left. Files beyond the last wanted length
    // belong to no section.
    void loadImageFiles(const std::optional<QList<QUrl>>& urls = std::nullopt);
    // The same with fileCount files that stay where they are: nameOf gives
    // the name of one when its record is asked for, and must stay valid
    // until the next load.
    void loadImageFiles(qint64 fileCount, ImageFileList::NameReader nameOf);

    ImageFileList imageFiles;
    qint64 numberOfSections = 1;
    bool singleSectionMode = true;
    std::vector<qint64> sectionLengthArray;
    std::vector<SectionAttributes> sectionsAttributesArray;

private:
    void buildSections();
    void buildSectionsFromLengths();
};
