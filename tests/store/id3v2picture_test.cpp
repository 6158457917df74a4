// Pictures in ID3v2 tags: the image facts read from headers, which picture
// is the cover, reading it from disk without the image, and the writer's
// cover edits that keep every other picture.
#include "store/id3v2picture.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "store/error.h"
#include "store/programfolder.h"
#include "support/fixtures.h"

namespace {

QByteArray Be32(quint32 n) {
    return QByteArray(1, char(n >> 24)) + char(n >> 16) + char(n >> 8) + char(n);
}

QByteArray Png(quint32 width, quint32 height, const QByteArray& tail = QByteArray(100, 'z')) {
    return PngStart(width, height, tail);
}

QByteArray Jpeg(int width, int height, int app1 = 16, quint8 sof = 0xC0) {
    return JpegStart(width, height, app1, sof);
}

QByteArray Be16(int n) {
    return QByteArray(1, char(n >> 8)) + char(n & 0xFF);
}

QByteArray Apic(const QByteArray& mime, int type, const QByteArray& image,
                const QByteArray& description = {}) {
    return ApicPayload(mime, type, image, description);
}

}  // namespace

TEST(ImageFacts, FormatAndSizeFromTheHeaderAlone) {
    const struct {
        const char* label;
        QByteArray bytes;
        ImageFacts facts;
    } cases[] = {
        {"png", Png(600, 400), {ImageFormat::Png, 600, 400}},
        {"png header only", Png(1, 2, {}), {ImageFormat::Png, 1, 2}},
        {"png cut in the size", Png(600, 400).left(20), {}},
        {"png without IHDR first", Png(6, 4).replace(12, 4, "IDAT"), {}},
        {"png of no width", Png(0, 4), {}},
        {"baseline jpeg", Jpeg(600, 600), {ImageFormat::Jpeg, 600, 600}},
        {"progressive jpeg", Jpeg(1200, 800, 16, 0xC2), {ImageFormat::Jpeg, 1200, 800}},
        {"jpeg behind a 60 KiB Exif block", Jpeg(300, 200, 60000), {ImageFormat::Jpeg, 300, 200}},
        // DHT (C4) sits in the frame-header range and is not one.
        {"jpeg whose C4 comes first",
         Jpeg(30, 20).insert(2, QByteArray("\xFF\xC4", 2) + Be16(5) + "abc"),
         {ImageFormat::Jpeg, 30, 20}},
        {"jpeg cut before its frame header", Jpeg(600, 600).left(100), {}},
        {"jpeg with a zero segment length", QByteArray("\xFF\xD8\xFF\xE0\x00\x00", 6), {}},
        {"jpeg that scans before any frame header",
         QByteArray("\xFF\xD8\xFF\xDA\x00\x04xx", 8),
         {}},
        {"gif", QByteArray("GIF89a\x10\x00\x10\x00", 10), {}},
        {"empty", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(ImageFactsOf(c.bytes), c.facts);
    }
    // A JPEG of endless fill segments gives up rather than walking on.
    QByteArray endless("\xFF\xD8", 2);
    for (int i = 0; i < kMaxJpegSegments + 10; ++i) endless += QByteArray("\xFF\xFE\x00\x02", 4);
    EXPECT_EQ(ImageFactsOf(endless + Jpeg(5, 5).mid(2)), ImageFacts{});
}

TEST(ImageFacts, AJpegBehindALargeBlockIsReadWithoutIt) {
    const QByteArray image = Jpeg(640, 480, 60000);
    qint64 read = 0;
    const ImageFacts facts = ImageFactsOf([&](qint64 offset, qint64 length) {
        const QByteArray bytes = image.mid(offset, length);
        read += bytes.size();
        return bytes;
    });
    EXPECT_EQ(facts, (ImageFacts{ImageFormat::Jpeg, 640, 480}));
    EXPECT_LT(read, 200);
}

TEST(PictureFrames, TheCoverIsTheFirstFrontCoverElseTheFirstPicture) {
    const QByteArray front = Jpeg(600, 600);
    const QByteArray back = Png(100, 50);
    const struct {
        const char* label;
        QByteArray tag;
        bool present;
        int type;
        QByteArray image;
    } cases[] = {
        {"front after another",
         V2Tag(V2Frame("APIC", Apic("image/png", 4, back)) +
               V2Frame("APIC", Apic("image/jpeg", 3, front, "c"))),
         true, 3, front},
        {"first picture without a front cover",
         V2Tag(V2Frame("APIC", Apic("image/png", 4, back)) +
               V2Frame("APIC", Apic("image/jpeg", 0, front))),
         true, 4, back},
        {"v2.2 PIC", V2TagOf(2, 0, V22Frame("PIC", QByteArray("\0JPG\x03\0", 6) + front)), true, 3,
         front},
        {"v2.4 with a data-length indicator",
         V2TagOf(4, 0,
                 V2Frame("APIC", Be32(quint32(Apic("image/png", 3, back).size())) +
                                     Apic("image/png", 3, back))
                     .replace(8, 2, QByteArray("\x00\x01", 2))),
         true, 3, back},
        {"a picture cut inside its header",
         V2Tag(V2Frame("APIC", QByteArray("\0image/png", 10))),
         false,
         0,
         {}},
        {"no picture", V2Tag(V2Text("TIT2", "t")), false, 0, {}},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const CoverPicture parsed = CoverOf(ParseID3v2Contents(c.tag));
        EXPECT_EQ(parsed.present, c.present);
        EXPECT_EQ(parsed.type, c.type);
        EXPECT_EQ(parsed.image, c.image);
        EXPECT_EQ(parsed.bytes, c.image.size());
        EXPECT_EQ(parsed.facts, ImageFactsOf(c.image));
        // From disk, the same; the facts alone leave the image unread.
        const QString path = dir.filePath(QStringLiteral("f.mp3"));
        WriteBytes(path, c.tag + Audio(1000));
        const CoverPicture read = ReadCover(path);
        EXPECT_EQ(read.image, c.image);
        EXPECT_EQ(read.type, c.type);
        const CoverPicture facts = ReadCover(path, CoverReading::Facts);
        EXPECT_EQ(facts.present, c.present);
        EXPECT_EQ(facts.bytes, c.image.size());
        EXPECT_EQ(facts.facts, parsed.facts);
        EXPECT_TRUE(facts.image.isEmpty());
    }
}

TEST(PictureFrames, CoverEditsReplaceOrRemoveTheFrontCoverAndKeepOtherPictures) {
    const QByteArray oldFront = V2Frame("APIC", Apic("image/png", 3, Png(10, 10)));
    const QByteArray artist = V2Frame("APIC", Apic("image/png", 8, Png(20, 20)));
    const QByteArray other = V2Frame("APIC", Apic("image/png", 0, Png(30, 30)));
    const QByteArray newImage = Jpeg(600, 600);
    const QByteArray newFrame = QByteArray("\0image/jpeg\0\x03\0", 14) + newImage;
    const CoverEdit set{CoverEdit::Action::Set, newImage, "image/jpeg"};
    const CoverEdit remove{CoverEdit::Action::Remove, {}, {}};
    const struct {
        const char* label;
        QByteArray old;
        CoverEdit edit;
        QList<QByteArray> pictures;  // the APIC payloads written, in order
    } cases[] = {
        {"set replaces the front cover, keeps the artist's picture",
         artist + oldFront,
         set,
         {newFrame, artist.mid(10)}},
        {"set on a file without pictures", V2Text("TIT2", "t"), set, {newFrame}},
        {"set beside a picture of another type", other, set, {newFrame, other.mid(10)}},
        {"remove drops every front cover", oldFront + artist + oldFront, remove, {artist.mid(10)}},
        {"remove without a front cover drops the picture shown",
         other + artist,
         remove,
         {artist.mid(10)}},
        {"keep", artist + oldFront, CoverEdit{}, {artist.mid(10), oldFront.mid(10)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const QByteArray old = V2Tag(c.old);
        const QByteArray frames =
            RenderID3v2Frames(ParseID3v2Tag(old), ParseID3v2Contents(old), c.edit);
        QList<QByteArray> pictures;
        for (const ID3v2Frame& f :
             ParseID3v2Contents(RenderID3v2Header(frames.size()) + frames).frames)
            if (f.id == "APIC")
                pictures << f.payload;
        EXPECT_EQ(pictures, c.pictures);
    }
    // A v2.2 tag's front cover is replaced too; its other picture converted.
    const QByteArray v22 = V2TagOf(2, 0,
                                   V22Frame("PIC", QByteArray("\0PNG\x03\0", 6) + Png(1, 1)) +
                                       V22Frame("PIC", QByteArray("\0PNG\x04\0", 6) + Png(2, 2)));
    const QByteArray frames = RenderID3v2Frames(ParseID3v2Tag(v22), ParseID3v2Contents(v22), set);
    const CoverPicture cover =
        CoverOf(ParseID3v2Contents(RenderID3v2Header(frames.size()) + frames));
    EXPECT_EQ(cover.image, newImage);
    EXPECT_EQ(cover.mime, QByteArray("image/jpeg"));
    EXPECT_EQ(frames.count("APIC"), 2);
}

TEST(CoverImageFiles, OnlyJpegAndPngByContentWhateverTheName) {
    QTemporaryDir dir;
    const struct {
        const char* name;
        QByteArray bytes;
        QByteArray mime;  // empty: refused as not an image
    } cases[] = {
        {"cover.jpg", Jpeg(600, 600), "image/jpeg"},
        {"cover.png.jpg", Png(20, 10), "image/png"},  // a PNG named .jpg is a PNG
        {"no extension", Jpeg(1, 1), "image/jpeg"},
        {"text.jpg", TextFile(), {}},
        {"empty.png", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromUtf8(c.name));
        WriteBytes(path, c.bytes);
        if (c.mime.isEmpty()) {
            try {
                ReadCoverImage(path);
                ADD_FAILURE() << "accepted";
            } catch (const StoreError& e) {
                EXPECT_EQ(e.problem(), StoreProblem::NotAnImage);
            }
            continue;
        }
        const CoverImage image = ReadCoverImage(path);
        EXPECT_EQ(image.bytes, c.bytes);
        EXPECT_EQ(image.mime, c.mime);
    }
    try {
        ReadCoverImage(dir.filePath(QStringLiteral("gone.png")));
        ADD_FAILURE() << "a missing file was read";
    } catch (const StoreError& e) {
        EXPECT_EQ(e.problem(), StoreProblem::System);
    }
    try {
        ReadCoverImage(dir.path());
        ADD_FAILURE() << "a folder was read";
    } catch (const StoreError& e) {
        EXPECT_EQ(e.problem(), StoreProblem::NotRegularFile);
    }
}
