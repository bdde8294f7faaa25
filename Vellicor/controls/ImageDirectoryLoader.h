#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>
#include <vector>

// One file of the thumbnail grid, as the section loader keeps it.
class ImageFile {
public:
    std::optional<QImage> thumbnail;
    QString fileName;
};

// Turns a flat list of files and the wanted lengths of their sections (one
// per group of duplicates) into the sections of the thumbnail grid: where
// each starts in the flat list and how many files it holds. The owner sets
// singleSectionMode and sectionLengthArray, calls loadImageFiles, then reads
// numberOfSections and sectionsAttributesArray. Not thread-safe; the owner
// may rebuild on a worker as long as nothing reads meanwhile.
class ImageDirectoryLoader {
public:
    struct SectionAttributes {
        qint64 sectionOffset = 0;
        qint64 sectionLength = 0;

        friend bool operator==(const SectionAttributes&, const SectionAttributes&) = default;
    };

    // Replaces the files by one per URL when urls is given, then rebuilds the
    // sections: in single-section mode one section of every file; otherwise
    // sections of the wanted lengths, the last one cut to the files left.
    // Files beyond the last wanted length belong to no section.
    void loadImageFiles(const std::optional<QList<QUrl>>& urls = std::nullopt);

    std::vector<std::shared_ptr<ImageFile>> imageFiles;
    qint64 numberOfSections = 1;
    bool singleSectionMode = true;
    std::vector<qint64> sectionLengthArray;
    std::vector<SectionAttributes> sectionsAttributesArray;

private:
    void buildSectionsFromLengths();
};
