#include "batch/columns.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>

#include "batch/audiotext.h"
#include "store/error.h"
#include "store/framecatalogue.h"
#include "store/programfolder.h"

const QStringList& ID3v1FieldNames() {
    static const QStringList names = {QStringLiteral("歌名"), QStringLiteral("艺术家"),
                                      QStringLiteral("专辑"), QStringLiteral("年份"),
                                      QStringLiteral("类型"), QStringLiteral("音轨编号"),
                                      QStringLiteral("备注")};
    return names;
}

const QStringList& ID3v2FieldNames() {
    static const QStringList names = [] {
        // By code: each frame at its own, then the two columns no frame of
        // the catalogue stands for.
        QStringList all(kLastID3v2Column - kFirstID3v2Column + 1);
        for (const FrameDescriptor& frame : kFrameCatalogue)
            all[frame.column - kFirstID3v2Column] =
                QCoreApplication::translate("Frames", frame.columnCaption);
        // The lyrics column that repeats the comment (codes stored in column
        // settings keep their meaning), and the cover picture.
        all[kLyricsColumn - kFirstID3v2Column] = QStringLiteral("歌词");
        all[kCoverColumn - kFirstID3v2Column] = QStringLiteral("封面");
        Q_ASSERT(!all.contains(QString()));
        return all;
    }();
    return names;
}

const QStringList& FilePropertyNames() {
    static const QStringList names = {
        QStringLiteral("有无 ID3v1"),   QStringLiteral("有无 ID3v2"),
        QStringLiteral("是否只读文件"), QStringLiteral("是否存档文件"),
        QStringLiteral("文件大小(K)"),  QStringLiteral("文件名"),
        QStringLiteral("文件内容"),     QStringLiteral("文字编码")};
    return names;
}

namespace {

struct Group {
    int base;
    const QStringList& (*names)();
    const char16_t* prefix;
};

const Group kGroups[] = {{101, ID3v1FieldNames, u"ID3v1 - "},
                         {kFirstID3v2Column, ID3v2FieldNames, u"ID3v2 - "},
                         {301, FilePropertyNames, u"文件属性 - "},
                         {kFirstAudioColumn, AudioFieldNames, u"音频 - "}};

const Group* GroupOf(int code) {
    for (const Group& g : kGroups)
        if (code >= g.base && code < g.base + g.names().size())
            return &g;
    return nullptr;
}

qint16 Read16(QByteArrayView bytes, qsizetype at) {
    return qint16(quint16(uchar(bytes[at])) | quint16(uchar(bytes[at + 1])) << 8);
}

void Append16(QByteArray& out, int value) {
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

}  // namespace

const QList<int>& CatalogueCodes() {
    static const QList<int> codes = [] {
        QList<int> all;
        for (const Group& g : kGroups)
            for (int i = 0; i < g.names().size(); ++i) all.append(g.base + i);
        return all;
    }();
    return codes;
}

bool IsCatalogueCode(int code) {
    return GroupOf(code) != nullptr;
}

QString ColumnHeaderText(int code) {
    const Group* g = GroupOf(code);
    return g ? g->names().at(code - g->base) : QString();
}

QString ColumnSetupText(int code) {
    const Group* g = GroupOf(code);
    return g ? QString::fromUtf16(g->prefix) + g->names().at(code - g->base) : QString();
}

QList<int> ParseColumnConfig(QByteArrayView bytes) {
    // The 4-byte header is skipped unread; a final odd byte is ignored.
    QList<int> codes;
    for (qsizetype at = 4; at + 2 <= bytes.size(); at += 2) {
        const int code = Read16(bytes, at);
        if (IsCatalogueCode(code))
            codes.append(code);
    }
    return codes;
}

QByteArray RenderColumnConfig(const QList<int>& codes) {
    QByteArray out;
    out.reserve(4 + 2 * codes.size());
    Append16(out, 0);
    Append16(out, 32);
    for (int code : codes) Append16(out, code);
    return out;
}

QByteArray DefaultColumnConfig() {
    return RenderColumnConfig({306, 101, 102, 103, 104, 105, 302, 305});
}

QString ColumnConfigPath() {
    return ProgramFolder() + QStringLiteral("/clmnhdr.dll");
}

namespace {

bool ReadConfig(QByteArray& bytes) {
    QFile file(ColumnConfigPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    return true;
}

}  // namespace

QList<int> LoadColumnCodes() {
    const QString path = ColumnConfigPath();
    if (!QFileInfo::exists(path)) {
        try {
            SaveSetting(ParseColumnConfig(DefaultColumnConfig()));
        } catch (const StoreError&) {
            // A folder we cannot write still gets the default columns.
            return ParseColumnConfig(DefaultColumnConfig());
        }
    }
    QByteArray bytes;
    if (!ReadConfig(bytes))
        return ParseColumnConfig(DefaultColumnConfig());
    return ParseColumnConfig(bytes);
}

QList<int> ReadColumnCodes() {
    QByteArray bytes;
    if (!ReadConfig(bytes))
        return {};
    return ParseColumnConfig(bytes);
}

void SaveSetting(const QList<int>& codes) {
    WriteSettingsFile(ColumnConfigPath(), RenderColumnConfig(codes));
}

void WriteSettingsFile(const QString& path, const QByteArray& bytes) {
    // Written beside the old file and renamed over it: a failure leaves the
    // old settings as they were.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw StoreError(path, StoreOp::SaveSettings, StoreProblem::Text, 0, file.errorString());
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw StoreError(path, StoreOp::SaveSettings, StoreProblem::Text, 0, file.errorString());
}
