#include "fixtures.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>

QByteArray Gbk(const QString& text) {
    QByteArray in = text.toUtf8();
    QByteArray out(in.size() * 2 + 8, '\0');
    iconv_t cd = iconv_open("CP936", "UTF-8");
    char* src = in.data();
    size_t srcLeft = size_t(in.size());
    char* dst = out.data();
    size_t dstLeft = size_t(out.size());
    iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    out.resize(out.size() - qsizetype(dstLeft));
    return out;
}

static QByteArray Padded(QByteArray bytes, int width, char pad) {
    bytes = bytes.left(width);
    bytes.append(QByteArray(width - bytes.size(), pad));
    return bytes;
}

QByteArray V1Bytes(const QByteArray& title, const QByteArray& artist, const QByteArray& album,
                   const QByteArray& year, const QByteArray& comment, quint8 track, quint8 genre,
                   char pad) {
    QByteArray tag = "TAG";
    tag += Padded(title, 30, pad);
    tag += Padded(artist, 30, pad);
    tag += Padded(album, 30, pad);
    tag += Padded(year, 4, pad);
    tag += Padded(comment, 28, pad);
    tag += char(0);
    tag += char(track);
    tag += char(genre);
    return tag;
}

QByteArray V10Bytes(const QByteArray& title, const QByteArray& artist, const QByteArray& album,
                    const QByteArray& year, const QByteArray& comment, quint8 genre) {
    return "TAG" + Padded(title, 30, ' ') + Padded(artist, 30, ' ') + Padded(album, 30, ' ') +
           Padded(year, 4, ' ') + Padded(comment, 30, ' ') + char(genre);
}

static QByteArray SizeBytes(qint64 n) {
    QByteArray b(4, '\0');
    b[0] = char((n >> 21) & 0x7F);
    b[1] = char((n >> 14) & 0x7F);
    b[2] = char((n >> 7) & 0x7F);
    b[3] = char(n & 0x7F);
    return b;
}

QByteArray V2Frame(const QByteArray& id, const QByteArray& payload) {
    return id + SizeBytes(payload.size()) + QByteArray(2, '\0') + payload;
}

QByteArray Utf16Text(const QByteArray& id, const QString& text) {
    QByteArray payload("\x01\xFF\xFE", 3);
    for (const QChar c : text) {
        payload.append(char(c.unicode() & 0xFF));
        payload.append(char(c.unicode() >> 8));
    }
    return V2Frame(id, payload);
}

QByteArray V2Text(const QByteArray& id, const QByteArray& text) {
    return V2Frame(id, QByteArray(1, '\0') + text);
}

QByteArray V2PlainFrame(const QByteArray& id, const QByteArray& payload, quint16 flags) {
    const quint32 n = quint32(payload.size());
    const char size[4] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
    const char flagBytes[2] = {char(flags >> 8), char(flags)};
    return id + QByteArray(size, 4) + QByteArray(flagBytes, 2) + payload;
}

QByteArray V22Frame(const QByteArray& id, const QByteArray& payload) {
    const int n = int(payload.size());
    return id + char(n >> 16) + char(n >> 8) + char(n) + payload;
}

QByteArray V2TagOf(quint8 major, quint8 flags, const QByteArray& body) {
    const char head[6] = {'I', 'D', '3', char(major), 0, char(flags)};
    return QByteArray(head, 6) + SizeBytes(body.size()) + body;
}

QByteArray V2Tag(const QByteArray& frames, int padding) {
    return QByteArray("ID3\x03\x00\x00", 6) + SizeBytes(frames.size() + padding) + frames +
           QByteArray(padding, '\0');
}

QByteArray Audio(int n) {
    QByteArray a(n, '\0');
    for (int i = 0; i < n; ++i) a[i] = char(i % 4 == 0 ? 0xFF : (i * 7) & 0xFF);
    return a;
}

QByteArray MpegFrames(int count) {
    const QByteArray frame = QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(413, '\0');
    return frame.repeated(count);
}

const QList<ForeignFile>& ForeignFiles() {
    static const QByteArray filler(600, 'z');
    static const QList<ForeignFile> files = {
        {"png", QByteArray("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16) + filler,
         QStringLiteral("PNG 图片")},
        {"jpeg", QByteArray("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11) + filler,
         QStringLiteral("JPEG 图片")},
        {"gif87", QByteArray("GIF87a") + filler, QStringLiteral("GIF 图片")},
        {"gif89", QByteArray("GIF89a") + filler, QStringLiteral("GIF 图片")},
        {"zip", QByteArray("PK\x03\x04\x14\0", 6) + filler, QStringLiteral("ZIP 压缩包")},
        {"empty zip", QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0') + filler,
         QStringLiteral("ZIP 压缩包")},
        {"pdf", QByteArray("%PDF-1.4\n") + filler, QStringLiteral("PDF 文档")},
        {"wave", QByteArray("RIFF\x24\x08\0\0WAVEfmt ", 16) + filler, QStringLiteral("WAV 音频")},
        {"flac", QByteArray("fLaC\0\0\0\x22", 8) + filler, QStringLiteral("FLAC 音频")},
        {"ogg", QByteArray("OggS\0\x02", 6) + filler, QStringLiteral("Ogg 音频")},
        {"mp4",
         QByteArray("\0\0\0\x20"
                    "ftypM4A ",
                    12) +
             filler,
         QStringLiteral("MP4 文件")},
    };
    return files;
}

QByteArray TextFile(int lines) {
    QByteArray text;
    for (int i = 0; i < lines; ++i) text += "line " + QByteArray::number(i) + " of plain text\n";
    return text;
}

bool SetImmutable(const QString& path, bool immutable) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void SetReadOnly(const QString& path, bool readOnly) {
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    mode_t mode = st.st_mode & 07777;
    mode = readOnly ? (mode & ~S_IWUSR) : (mode | S_IWUSR);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

void WriteNative(const QByteArray& path, const QByteArray& bytes) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.toHex().constData();
    ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
    ::close(fd);
}

QByteArray ReadNative(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY);
    if (fd < 0)
        return {};
    QByteArray bytes;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, n);
    ::close(fd);
    return bytes;
}

bool ExistsNative(const QByteArray& path) {
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

void MakeFolderNative(const QByteArray& path) {
    ASSERT_EQ(::mkdir(path.constData(), 0755), 0) << path.toHex().constData();
}

void RemoveTreeNative(const QByteArray& path) {
    ::nftw(
        path.constData(),
        [](const char* entry, const struct stat*, int, struct FTW*) { return ::remove(entry); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

QList<QByteArray> ListNative(const QByteArray& folder) {
    QList<QByteArray> names;
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

QByteArray Native(const QString& path) {
    return path.toUtf8();
}

namespace {

QByteArray Big16(int n) {
    return QByteArray(1, char(n >> 8)) + char(n & 0xFF);
}

QByteArray Big32(quint32 n) {
    return Big16(int(n >> 16)) + Big16(int(n & 0xFFFF));
}

}  // namespace

QByteArray PngStart(quint32 width, quint32 height, const QByteArray& tail) {
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + Big32(13) + "IHDR" + Big32(width) + Big32(height) +
           QByteArray("\x08\x02\x00\x00\x00", 5) + Big32(0) + tail;
}

QByteArray JpegStart(int width, int height, int app1, quint8 sof) {
    QByteArray out("\xFF\xD8", 2);
    out +=
        QByteArray("\xFF\xE0", 2) + Big16(16) + QByteArray("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14);
    out += QByteArray("\xFF\xE1", 2) + Big16(app1 + 2) + QByteArray(app1, '\xC0');
    out += QByteArray("\xFF\xDB", 2) + Big16(67) + QByteArray(65, '\x01');
    out += QByteArray("\xFF", 1) + char(sof) + Big16(17) + char(8) + Big16(height) + Big16(width) +
           QByteArray(12, '\x01');
    out += QByteArray("\xFF\xDA", 2) + Big16(12) + QByteArray(10, '\0') + QByteArray(300, '\x55');
    return out + QByteArray("\xFF\xD9", 2);
}

QByteArray ApicPayload(const QByteArray& mime, int type, const QByteArray& image,
                       const QByteArray& description) {
    return QByteArray(1, '\0') + mime + '\0' + char(type) + description + '\0' + image;
}
