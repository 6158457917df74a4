#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// The catalogue of the main list's columns and the file clmnhdr.dll that
// stores the chosen columns.
//
// A column code names a catalogue entry: 101..107 the ID3v1 fields,
// 201..217 the ID3v2 frames (each catalogue entry at its own code, 213 the
// lyrics column that repeats the comment, 217 the cover), 301..308 file
// properties, 401..405 the audio (AudioFieldNames, read from the first MPEG
// frame only when one of them is shown).
//
// clmnhdr.dll, little-endian 16-bit signed values:
//   offset 0: reserved (written 0) | 2: filler (written 32) | 4 + 2k: code of column k+1
// Reading skips the header without checking it, skips codes that name no
// catalogue entry and ignores a final odd byte.

const QStringList& ID3v1FieldNames();  // 7 names, code 101 + index
const QStringList& ID3v2FieldNames();  // 17 names, code 201 + index
inline constexpr int kFirstID3v2Column = 201;
inline constexpr int kLyricsColumn = 213;  // repeats the comment
inline constexpr int kCoverColumn = 217;   // "有 (600×600)" or "无"
inline constexpr int kLastID3v2Column = 217;
const QStringList& FilePropertyNames();  // 8 names, code 301 + index
// The audio columns' names are AudioFieldNames (batch/audiotext.h), code
// 401 + index.
inline constexpr int kFirstAudioColumn = 401;
inline constexpr int kLastAudioColumn = 405;
inline bool IsAudioColumn(int code) {
    return code >= kFirstAudioColumn && code <= kLastAudioColumn;
}

// The 37 codes in code order.
const QList<int>& CatalogueCodes();
bool IsCatalogueCode(int code);
// The header text of a column ("歌名"); empty for an unknown code.
QString ColumnHeaderText(int code);
// The text of the setup dialog's entries: group prefix + header text
// ("ID3v2 - 版权", "文件属性 - 是否只读文件"); empty for an unknown code.
QString ColumnSetupText(int code);

QList<int> ParseColumnConfig(QByteArrayView bytes);
QByteArray RenderColumnConfig(const QList<int>& codes);
// 306, 101, 102, 103, 104, 105, 302, 305 after the header: 20 bytes.
QByteArray DefaultColumnConfig();

// ProgramFolder() + "/clmnhdr.dll".
QString ColumnConfigPath();

// Start-up side: creates the file with the default content when it is
// missing, then reads it. When the file cannot be created or read, the
// default columns are used without writing anything.
QList<int> LoadColumnCodes();
// Setup dialog side: the codes of the file; a missing or unreadable file
// gives no codes.
QList<int> ReadColumnCodes();
// Replaces the file with one holding `codes` in order. The new content is
// written beside the old file and renamed over it, so a failure leaves the
// old file as it was. Throws StoreError when the folder cannot be written.
void SaveSetting(const QList<int>& codes);

// Replaces the settings file at `path` with `bytes`, written beside it and
// renamed over it. Throws StoreError when the folder cannot be written.
void WriteSettingsFile(const QString& path, const QByteArray& bytes);
