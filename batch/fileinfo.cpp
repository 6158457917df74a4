#include "batch/fileinfo.h"

#include <exception>
#include <utility>

#include "batch/audiotext.h"
#include "batch/text.h"
#include "batch/textencoding.h"
#include "batch/textsettings.h"
#include "store/error.h"

namespace {

QString YesNo(bool value) {
    return value ? QStringLiteral("是") : QStringLiteral("否");
}

void FillFacts(FileInfo& info, const FileFacts& facts) {
    info.FileSize = QString::number(facts.Length) + QStringLiteral(" 字节");
    info.ReadOnly = YesNo(facts.ReadOnly);
    info.Archive = YesNo(facts.Archive);
}

template <typename Record>
using Field = std::pair<QString FileInfo::*, QString Record::*>;

const Field<ID3v1Tag> kID3v1Texts[] = {
    {&FileInfo::SongTitle, &ID3v1Tag::SongTitle},
    {&FileInfo::Artist, &ID3v1Tag::Artist},
    {&FileInfo::Album, &ID3v1Tag::Album},
    {&FileInfo::Year, &ID3v1Tag::Year},
};

void FillID3v1(FileInfo& info, const ID3v1Tag& v1) {
    info.HasID3v1 = HasID3v1Tag(v1);
    if (!info.HasID3v1)
        return;
    for (const auto& [shown, field] : kID3v1Texts) info.*shown = ShownText(v1.*field);
    info.Comment = ShownText(ID3v1Comment(v1));
    for (size_t i = 0; i < info.ID3v1CodePages.size(); ++i)
        if (const auto cp = legacytext::CodePageOf(v1.Stored.codePages[i]))
            info.ID3v1CodePages[i] = CodePageShortName(*cp);
    info.Genre = GenreDisplayName(GenreNumber(v1));
    // An ID3v1.0 tag has no track: nothing is shown rather than a comment byte.
    if (!IsID3v10Tag(v1))
        info.TrackID = QString::number(v1.Track);
}

void FillID3v2(FileInfo& info, const ID3v2Tag& v2) {
    info.HasID3v2 = v2.Present;
    if (!info.HasID3v2)
        return;
    // Blanks are part of the frame text and stay; a NUL would end the text in
    // a label anyway, so it is cut there, as the main list does.
    for (size_t i = 0; i < kFrameCatalogue.size(); ++i) {
        info.Frames[i] = CutAtNul(v2.*kFrameCatalogue[i].field);
        if (const auto cp = v2.Legacy.of(int(i)))
            info.FrameCodePages[i] = CodePageShortName(*cp);
        else if (MojibakeRepair(info.Frames[i]))
            info.FrameCodePages[i] = QStringLiteral("乱码?");
    }
}

void FillContent(FileInfo& info, ContentKind kind) {
    info.Content = ContentText(kind);
    if (kind != ContentKind::Unknown && kind != ContentKind::Mp3)
        info.ContentProblem = info.Content + QStringLiteral("，本程序不会往里面写标签。");
}

void FillAudio(FileInfo& info, const std::optional<AudioProperties>& audio) {
    if (!audio)
        return;
    info.Duration = AudioFieldText(AudioField::Duration, audio) + QStringLiteral("（") +
                    LengthSourceText(*audio) + QStringLiteral("）");
    info.Bitrate = AudioFieldText(AudioField::Bitrate, audio);
    info.SampleRate = AudioFieldText(AudioField::SampleRate, audio);
    info.ChannelMode = AudioFieldText(AudioField::ChannelMode, audio);
    info.VersionLayer = AudioFieldText(AudioField::VersionLayer, audio);
}

FileInfo NamesOnly(const QString& folder, const QString& fileName) {
    FileInfo info;
    // A name from a listing of sub-folders ("专辑/01.mp3") shows its own
    // folder beside its last part.
    const QString full = JoinPath(folder, fileName);
    info.FullPath = DisplayFileName(full);
    info.FileName =
        DisplayFileName(fileName.contains(QLatin1Char('/')) ? FileNameOf(full) : fileName);
    info.Path = DisplayFileName(fileName.contains(QLatin1Char('/')) ? FolderOf(full) : folder);
    return info;
}

QString Problem(const QString& what, const QString& reason) {
    QString text = QStringLiteral("这个文件无法读取，") + what;
    if (!reason.isEmpty())
        text += QStringLiteral("\n原因：") + reason;
    return text;
}

// The reason of a failure for the user: the system's own words when the store
// gives them.
QString ReasonOf(const std::exception& e) {
    if (const auto* store = dynamic_cast<const StoreError*>(&e))
        return store->reason();
    return QString::fromLocal8Bit(e.what());
}

}  // namespace

QString ContentText(ContentKind kind) {
    return kind == ContentKind::Mp3 ? QStringLiteral("MP3 音频") : NotMp3Reason(kind);
}

FileInfo FileInfoFromRecords(const QString& folder, const QString& fileName,
                             const FileRecords& records) {
    FileInfo info = NamesOnly(folder, fileName);
    FillFacts(info, records.facts);
    FillID3v1(info, records.v1);
    FillID3v2(info, records.v2);
    FillContent(info, records.content);
    FillAudio(info, records.audio);
    info.Cover = records.cover;
    if (!records.v2.Unwritable.isEmpty())
        info.ID3v2Problem =
            QStringLiteral("这个 ID3v2 标签已损坏，本程序不会改写它，以免丢失数据。\n原因：") +
            records.v2.Unwritable;
    return info;
}

FileInfo ReadFileInfo(const QString& folder, const QString& fileName) {
    const QString path = JoinPath(folder, fileName);
    try {
        return FileInfoFromRecords(
            folder, fileName, ReadFileRecords(path, true, true, std::nullopt, CoverReading::Image));
    } catch (const std::exception& e) {
        // The file vanished since the list was loaded, or it cannot be opened
        // (no permission, a folder by that name). Its status may still be
        // readable, so size and attributes are tried on their own.
        FileInfo info = NamesOnly(folder, fileName);
        info.TagsProblem = Problem(QStringLiteral("标签无法显示。"), ReasonOf(e));
        try {
            FillFacts(info, GetFileFacts(path));
        } catch (const std::exception& facts) {
            info.FactsProblem =
                Problem(QStringLiteral("文件大小和属性无法显示。"), ReasonOf(facts));
        }
        return info;
    }
}
