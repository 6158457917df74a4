#include "store/error.h"

#include <cerrno>
#include <cstring>

#include "store/filefacts.h"

namespace {

// Reasons are shown to the user in Chinese; the system's own English text
// follows in parentheses for anyone searching for it.
QString ChineseReason(int err) {
    switch (err) {
        case ENOENT:
            return QStringLiteral("文件或文件夹不存在");
        case EACCES:
        case EPERM:
            return QStringLiteral("没有权限");
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("磁盘空间不足");
        case EROFS:
            return QStringLiteral("所在的文件系统是只读的");
        case EBUSY:
        case ETXTBSY:
            return QStringLiteral("文件正在被使用");
        case ENAMETOOLONG:
            return QStringLiteral("文件名太长");
        case EEXIST:
            return QStringLiteral("目标已经存在");
        case EISDIR:
            return QStringLiteral("这是一个文件夹");
        case ENOTDIR:
            return QStringLiteral("路径中有一部分不是文件夹");
        case EIO:
            return QStringLiteral("读写出错");
        case EXDEV:
            return QStringLiteral("不能跨磁盘移动");
        default:
            return {};
    }
}

}  // namespace

StoreError::StoreError(QString path, QString operation, QString reason)
    : path_(std::move(path)), operation_(std::move(operation)), reason_(std::move(reason)) {
    what_ = message().toStdString();
}

StoreError StoreError::fromErrno(const QString& path, const QString& operation, int err) {
    const QString system = QString::fromLocal8Bit(std::strerror(err));
    const QString chinese = ChineseReason(err);
    return StoreError(path, operation,
                      chinese.isEmpty()
                          ? system
                          : chinese + QStringLiteral("（") + system + QStringLiteral("）"));
}

QString StoreError::message() const {
    if (path_.isEmpty())
        return operation_ + QStringLiteral("时出错：") + reason_;
    return operation_ + QStringLiteral("“") + DisplayFileName(path_) + QStringLiteral("”时出错：") +
           reason_;
}
