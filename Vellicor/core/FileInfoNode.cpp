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
    if (rare() && rare()->arrForSubPathMd5)
        return rare()->arrForSubPathMd5;
    return emptySubPathList_ ? empty : none;
}

void FileInfoNode::setArrForSubPathMd5(const std::optional<QStringList>& list)
{
    emptySubPathList_ = list && list->isEmpty();
    if (emptySubPathList_ || !list) {
        if (cloud.extra_ && cloud.extra_->rare)
            cloud.extra_->rare->arrForSubPathMd5.reset();
        return;
    }
    makeRare().arrForSubPathMd5 = list;
}

const std::shared_ptr<PhotosNode>& FileInfoNode::photosInfo() const
{
    static const std::shared_ptr<PhotosNode> none;
    return rare() ? rare()->photosInfo : none;
}

const std::shared_ptr<ExifInfo>& FileInfoNode::exifInfo() const
{
    static const std::shared_ptr<ExifInfo> none;
    return rare() ? rare()->exifInfo : none;
}
