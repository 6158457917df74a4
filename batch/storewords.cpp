#include "batch/storewords.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstring>

#include "store/filecontent.h"

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("StoreWords", text);
}

QString SystemReason(int err) {
    const char* chinese = nullptr;
    switch (err) {
        case ENOENT:
            chinese = QT_TRANSLATE_NOOP("StoreWords", "文件或文件夹不存在");
            break;
        case EACCES:
        case EPERM:
            chinese = QT_TRANSLATE_NOOP("StoreWords", "没有权限");
            break;
        case ENOSPC:
        case EDQUOT:
            chinese = QT_TRANSLATE_NOOP("StoreWords", "磁盘空间不足");
            break;
        case EROFS:
            chinese = QT_TRANSLATE_NOOP("StoreWords", "所在的文件系统是只读的");
            break;
        case EBUSY:
        case ETXTBSY:
            chinese = QT_TRANSLATE_NOOP("StoreWords", "文件正在被使用");
            break;
        case ENAMETOOLONG:
            chinese = QT_TRANSLATE_NOOP("StoreWords", "文件名太长");
            break;
        case EEXIST:
            chinese = QT_TRANSLATE_NOOP("StoreWords", "目标已经存在");
            break;
        case EISDIR:
            chinese = QT_TRANSLATE_NOOP("StoreWords", "这是一个文件夹");
            break;
        case ENOTDIR:
            chinese = QT_TRANSLATE_NOOP("StoreWords", "路径中有一部分不是文件夹");
            break;
        case EIO:
            chinese = QT_TRANSLATE_NOOP("StoreWords", "读写出错");
            break;
        case EXDEV:
            chinese = QT_TRANSLATE_NOOP("StoreWords", "不能跨磁盘移动");
            break;
        default:
            break;
    }
    const QString system = QString::fromLocal8Bit(std::strerror(err));
    if (!chinese)
        return system;
    return Tr(chinese) + QStringLiteral("（") + system + QStringLiteral("）");
}

QString FormatName(ContentKind kind) {
    switch (kind) {
        case ContentKind::Png:
            return Tr("PNG 图片");
        case ContentKind::Jpeg:
            return Tr("JPEG 图片");
        case ContentKind::Gif:
            return Tr("GIF 图片");
        case ContentKind::Zip:
            return Tr("ZIP 压缩包");
        case ContentKind::Pdf:
            return Tr("PDF 文档");
        case ContentKind::Wave:
            return Tr("WAV 音频");
        case ContentKind::Flac:
            return Tr("FLAC 音频");
        case ContentKind::Ogg:
            return Tr("Ogg 音频");
        case ContentKind::Mp4:
            return Tr("MP4 文件");
        case ContentKind::Unknown:
        case ContentKind::Mp3:
        case ContentKind::NoAudioFrame:
            break;
    }
    return {};
}

}  // namespace

QString ChineseStoreWording::operation(StoreOp op) const {
    switch (op) {
        case StoreOp::Open:
            return Tr("打开");
        case StoreOp::Read:
            return Tr("读取");
        case StoreOp::Write:
            return Tr("写入");
        case StoreOp::List:
            return Tr("读取文件夹");
        case StoreOp::Lock:
            return Tr("锁定");
        case StoreOp::Replace:
            return Tr("替换");
        case StoreOp::Rename:
            return Tr("重命名");
        case StoreOp::Remove:
            return Tr("删除");
        case StoreOp::CreateFolder:
            return Tr("创建文件夹");
        case StoreOp::CreateTempIn:
            return Tr("创建临时文件于");
        case StoreOp::KeepModTime:
            return Tr("保留修改时间");
        case StoreOp::BuildID3v2:
            return Tr("生成 ID3v2 标签");
        case StoreOp::RewriteID3v2:
            return Tr("改写 ID3v2 标签");
        case StoreOp::SaveSettings:
            return Tr("保存设置到");
        case StoreOp::WriteJournal:
            return Tr("写入操作记录");
        case StoreOp::ReadJournal:
            return Tr("读取操作记录");
        case StoreOp::Undo:
            return Tr("撤销");
    }
    return {};
}

QString ChineseStoreWording::reason(StoreProblem problem, qint64 number,
                                    const QString& detail) const {
    switch (problem) {
        case StoreProblem::System:
            return SystemReason(int(number));
        case StoreProblem::Text:
            return detail;
        case StoreProblem::NotRegularFile:
            return Tr("这不是一个普通文件");
        case StoreProblem::TooShortForID3v1:
            return Tr("文件太短，不足 128 字节");
        case StoreProblem::NotMp3: {
            const auto kind = ContentKind(number);
            if (kind == ContentKind::Unknown || kind == ContentKind::Mp3)
                return {};
            if (kind == ContentKind::NoAudioFrame)
                return Tr("不是 MP3 文件（找不到音频帧）");
            return Tr("不是 MP3 文件（看起来是 %1）").arg(FormatName(kind));
        }
        case StoreProblem::ContentFormat:
            return FormatName(ContentKind(number));
        case StoreProblem::ShrankWhileWriting:
            return Tr("文件在写入过程中变短了");
        case StoreProblem::FrameTooLong:
            return Tr("%1 帧的内容太长（%2 字节），无法写入").arg(detail).arg(number);
        case StoreProblem::TagTooLarge:
            return Tr("标签太大（%1 字节），无法写入").arg(number);
        case StoreProblem::TagUnwritable:
            return detail + Tr("；为免丢失数据，文件未作改动");
        case StoreProblem::TagChangedSinceRead:
            return Tr("文件的 ID3v2 标签在读取之后被改动过，文件未作改动");
        case StoreProblem::ChangedMeanwhile:
            return Tr("文件在修改过程中被其他程序改动，未作改动");
        case StoreProblem::ChangedAfterBatch:
            return Tr("文件在这批修改之后又被改动过，未撤销");
        case StoreProblem::FileGone:
            return Tr("文件已不存在");
        case StoreProblem::LockedByOther:
            return Tr("文件正在被其他程序修改");
        case StoreProblem::HardLinks:
            return Tr("文件有 %1 个硬链接，新标签放不进原来的位置；"
                      "改写会使其他链接保留旧内容，所以未作改动")
                .arg(number);
        case StoreProblem::IncompletePlan:
            return Tr("内部错误：计划的修改不完整，文件未作改动");
        case StoreProblem::NoOriginalContent:
            return Tr("操作记录中没有这个文件的原内容，未撤销");
        case StoreProblem::NotUndoable:
            return Tr("这批修改不能撤销");
        case StoreProblem::UndoInProgress:
            return Tr("另一个 Tamberlo 正在撤销这批修改");
        case StoreProblem::JournalUnreadable:
            return Tr("操作记录读不出来");
        case StoreProblem::LinkOutsideFolder:
            return Tr("这是一个符号链接，指向所列文件夹之外的“%1”，不会通过它写入").arg(detail);
        case StoreProblem::SizeNotSynchsafe:
            return Tr("标签头里的大小不合规范，无法确定标签在哪里结束");
        case StoreProblem::TagPastFileEnd:
            return Tr("标签声称有 %1 字节，但文件只有 %2 字节").arg(number).arg(detail);
        case StoreProblem::UnknownVersion:
            return Tr("不认识的 ID3v2 版本 2.%1").arg(number);
        case StoreProblem::CompressedV22:
            return Tr("这个 ID3v2.2 标签整体经过压缩，无法读取");
        case StoreProblem::UnsynchronisedTooLarge:
            return Tr("这个整体做过不同步处理的标签太大（超过 %1 MiB），只读取了开头部分")
                .arg(number);
        case StoreProblem::ExtendedHeaderTooLarge:
            return Tr("扩展标头的大小超出了标签");
        case StoreProblem::TooManyFrames:
            return Tr("标签中的帧多得异常（超过 %1 个）").arg(number);
        case StoreProblem::TooMuchText:
            return Tr("标签中的文字帧大得异常（共超过 %1 MiB）").arg(number);
        case StoreProblem::FramePastTagEnd:
            return Tr("标签中的 %1 帧超出了标签的结尾").arg(detail);
    }
    return {};
}

QString ChineseStoreWording::message(const QString& operation, const QString& path,
                                     const QString& reason) const {
    if (path.isEmpty())
        return Tr("%1时出错：%2").arg(operation, reason);
    return Tr("%1“%2”时出错：%3").arg(operation, path, reason);
}

void InstallStoreWords() {
    static const ChineseStoreWording wording;
    SetStoreWording(&wording);
}
