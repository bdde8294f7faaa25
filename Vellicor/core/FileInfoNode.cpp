#include "core/FileInfoNode.h"

#include "core/ExifInfo.h"
#include "core/PhotosNode.h"

const std::optional<QString>& FileInfoNode::noText()
{
    static const std::optional<QString> none;
    return none;
}

const std::optional<QStringList>& FileInfoNode::arrForSubPathMd5() const
{
    static const std::optional<QStringList> none;
    static const std::optional<QStringList> empty = QStringList();
    if (rare_ && rare_->arrForSubPathMd5)
        return rare_->arrForSubPathMd5;
    return emptySubPathList_ ? empty : none;
}

void FileInfoNode::setArrForSubPathMd5(const std::optional<QStringList>& list)
{
    emptySubPathList_ = list && list->isEmpty();
    if (emptySubPathList_ || !list) {
        if (rare_)
            rare_->arrForSubPathMd5.reset();
        return;
    }
    rare_.make().arrForSubPathMd5 = list;
}

const std::shared_ptr<PhotosNode>& FileInfoNode::photosInfo() const
{
    static const std::shared_ptr<PhotosNode> none;
    return rare_ ? rare_->photosInfo : none;
}

const std::shared_ptr<ExifInfo>& FileInfoNode::exifInfo() const
{
    static const std::shared_ptr<ExifInfo> none;
    return rare_ ? rare_->exifInfo : none;
}
