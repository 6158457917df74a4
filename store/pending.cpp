// Temporary stand-ins while the store is being written; removed when it lands.
#include <stdexcept>

#include "store/codec.h"
#include "store/error.h"
#include "store/filefacts.h"
#include "store/filerecords.h"
#include "store/id3v1.h"
#include "store/id3v2.h"
#include "store/programfolder.h"

[[noreturn]] static void Pending() { throw std::logic_error("store not yet implemented"); }
StoreError::StoreError(QString p, QString o, QString r) : path_(p), operation_(o), reason_(r) {}
StoreError StoreError::fromErrno(const QString& p, const QString& o, int) { return {p, o, {}}; }
QString StoreError::message() const { return {}; }
QString DecodeCP936(QByteArrayView) { Pending(); }
QByteArray EncodeCP936(const QString&) { Pending(); }
QByteArray EncodeCP936Fixed(const QString&, int) { Pending(); }
QString FixedWidth(const QString&, int) { Pending(); }
ID3v1Tag NoID3v1Tag() { Pending(); }
bool HasID3v1Tag(const ID3v1Tag&) { Pending(); }
int GenreNumber(const ID3v1Tag&) { Pending(); }
QString GenreCharacter(int) { Pending(); }
const QStringList& GenreNames() { Pending(); }
QString GenreDisplayName(int) { Pending(); }
ID3v1Tag ParseID3v1Tag(QByteArrayView) { Pending(); }
QByteArray RenderID3v1Tag(const ID3v1Tag&) { Pending(); }
ID3v1Tag ReadID3v1Tag(const QString&) { Pending(); }
bool WriteID3v1Tag(const QString&, const ID3v1Tag&) { Pending(); }
qint32 DecodeSizeBytes(const quint8*) { Pending(); }
ID3v2Tag ParseID3v2Tag(QByteArrayView, QList<RawFrame>*) { Pending(); }
qint64 ID3v2ParseExtent(QByteArrayView) { Pending(); }
ID3v2Tag ReadID3v2Tag(const QString&) { Pending(); }
std::array<quint8, 4> EncodeSynchsafeSize(qint64) { Pending(); }
QByteArray RenderID3v2Frames(const ID3v2Tag&) { Pending(); }
QByteArray RenderID3v2Header(qint64) { Pending(); }
qint64 WriteID3v2Frames(const ID3v2Tag&) { Pending(); }
bool WriteID3v2Tag(const QString&, const ID3v2Tag&) { Pending(); }
FileFacts GetFileFacts(const QString&) { Pending(); }
bool IsReadOnlyMode(unsigned) { Pending(); }
bool IsReadOnlyFile(const QString&) { Pending(); }
bool ArchiveFromDosAttrib(const QByteArray&) { Pending(); }
bool ArchiveFromNtfsAttribBE(const QByteArray&) { Pending(); }
bool IsValidFileName(const QString&) { Pending(); }
QString JoinPath(const QString&, const QString&) { Pending(); }
QString ProgramFolder() { Pending(); }
void SetProgramFolder(const QString&) { Pending(); }
FileRecords ReadFileRecords(const QString&) { Pending(); }
