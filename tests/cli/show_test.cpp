// tamberlo-cli show, run as a program: the JSON it prints for files with and
// without tags, and how it reports files it cannot read.

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "support/cli_run.h"
#include "support/fixtures.h"

namespace {

QJsonArray ParseArray(const QByteArray& out) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(out, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n"
                                                     << out.toStdString();
    EXPECT_TRUE(doc.isArray());
    return doc.array();
}

QString Padded(const QString& text, int width) {
    return text + QString(width - text.size(), QLatin1Char(' '));
}

class ShowTest : public ::testing::Test {
  protected:
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        WriteBytes(path, bytes);
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(ShowTest, PrintsBothTagsWithTextsExactlyAsHeld) {
    const QByteArray comm = QByteArray(
                                "\x00"
                                "eng"
                                "\x00",
                                5) +
                            "note";  // enc, lang, desc end
    const QByteArray v2 = V2Tag(V2Text("TIT2", Gbk(QStringLiteral("你好"))) +
                                V2Text("TPE1", "Band \"X\"\\") + V2Frame("COMM", comm));
    const QByteArray v1 = V1Bytes(Gbk(QStringLiteral("标题")),  // 4 bytes, space padded
                                  "Art\x01st",                  // a control character
                                  "abc\x81",                    // ends in a lone lead byte
                                  "1999", "c", /*track=*/7, /*genre=*/17);
    QByteArray zeroPadded = V1Bytes("Title", {}, {}, {}, {}, 0, 255, '\0');
    const QString both = file(QStringLiteral("both.mp3"), v2 + Audio(300) + v1);
    const QString nulPadded = file(QStringLiteral("nul.mp3"), Audio(200) + zeroPadded);

    const CliRun run = RunCli({QStringLiteral("show"), both, nulPadded});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty());
    // Non-ASCII is printed as UTF-8, control characters as JSON escapes.
    EXPECT_TRUE(run.out.contains(QStringLiteral("标题").toUtf8()));
    EXPECT_TRUE(run.out.contains(QString(QChar(0xF781)).toUtf8()));
    EXPECT_TRUE(run.out.contains("\"Genre\": \"\\u0011\""));
    EXPECT_TRUE(run.out.contains("Art\\u0001st"));

    const QJsonArray files = ParseArray(run.out);
    ASSERT_EQ(files.size(), 2);
    const QJsonObject first = files[0].toObject();
    EXPECT_EQ(first["path"].toString(), both);

    const QJsonObject t1 = first["ID3v1Tag"].toObject();
    EXPECT_EQ(t1["Marker"].toString(), QStringLiteral("TAG"));
    EXPECT_EQ(t1["SongTitle"].toString(), Padded(QStringLiteral("标题"), 30));
    EXPECT_EQ(t1["Artist"].toString(), Padded(QStringLiteral("Art\x01st"), 30));
    EXPECT_EQ(t1["Album"].toString(), Padded(QStringLiteral("abc") + QChar(0xF781), 30));
    EXPECT_EQ(t1["Year"].toString(), QStringLiteral("1999"));
    EXPECT_EQ(t1["Comment"].toString(), Padded(QStringLiteral("c"), 28));
    EXPECT_EQ(t1["ZeroByte"].toInt(-1), 0);
    EXPECT_EQ(t1["Track"].toInt(), 7);
    EXPECT_EQ(t1["Genre"].toString(), QString(QChar(17)));
    EXPECT_EQ(t1["GenreNumber"].toInt(), 17);

    const QJsonObject t2 = first["ID3v2Tag"].toObject();
    EXPECT_TRUE(t2["Present"].toBool());
    EXPECT_EQ(t2["Version"].toString(), QStringLiteral("3.0    "));
    EXPECT_FALSE(t2["ExtendedHeader"].toBool(true));
    EXPECT_EQ(t2["Size"].toInt(), v2.size() - 10);
    EXPECT_EQ(t2["ExtendedHeaderSize"].toInt(-1), 0);
    EXPECT_EQ(t2["Unwritable"].toString(QStringLiteral("missing")), QString());
    EXPECT_EQ(t2["TIT2"].toString(), QStringLiteral("你好"));
    EXPECT_EQ(t2["TPE1"].toString(), QStringLiteral("Band \"X\"\\"));
    EXPECT_EQ(t2["COMM"].toString(), QStringLiteral("note"));
    EXPECT_EQ(t2["TALB"].toString(QStringLiteral("missing")), QString());

    const QJsonObject facts = first["FileFacts"].toObject();
    EXPECT_EQ(facts["Length"].toInt(), v2.size() + 300 + 128);
    EXPECT_FALSE(facts["ReadOnly"].toBool(true));
    EXPECT_FALSE(facts["Hidden"].toBool(true));
    EXPECT_FALSE(facts["Archive"].toBool(true));

    // Zero-byte padding of other programs stays as NUL characters.
    const QJsonObject n1 = files[1].toObject()["ID3v1Tag"].toObject();
    EXPECT_EQ(n1["SongTitle"].toString(), QStringLiteral("Title") + QString(25, QChar(0)));
    EXPECT_EQ(n1["Year"].toString(), QString(4, QChar(0)));
    EXPECT_EQ(n1["GenreNumber"].toInt(), 255);
    EXPECT_EQ(n1["Genre"].toString(), QString(QChar(0xF7FF)));
}

TEST_F(ShowTest, FilesWithoutTagsAndEmptyFilesShowTheNoTagRecords) {
    const QString plain = file(QStringLiteral("plain.mp3"), Audio(500));
    const QString empty = file(QStringLiteral("empty.mp3"), {});
    const QString hidden = file(QStringLiteral(".hidden.mp3"), Audio(10));
    SetReadOnly(hidden, true);

    const CliRun run = RunCli({QStringLiteral("show"), plain, empty, hidden});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonArray files = ParseArray(run.out);
    ASSERT_EQ(files.size(), 3);

    const qint64 lengths[] = {500, 0, 10};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QJsonObject f = files[i].toObject();
        const QJsonObject t1 = f["ID3v1Tag"].toObject();
        EXPECT_EQ(t1["Marker"].toString(), QStringLiteral("N/A"));
        EXPECT_EQ(t1["SongTitle"].toString(), Padded(QStringLiteral("N/A"), 30));
        EXPECT_EQ(t1["Year"].toString(), QStringLiteral("N/A "));
        EXPECT_EQ(t1["Genre"].toString(), QStringLiteral("N"));
        EXPECT_EQ(t1["GenreNumber"].toInt(), 78);
        EXPECT_EQ(t1["Track"].toInt(-1), 0);

        const QJsonObject t2 = f["ID3v2Tag"].toObject();
        EXPECT_FALSE(t2["Present"].toBool(true));
        EXPECT_EQ(t2["Version"].toString(QStringLiteral("missing")), QString());
        EXPECT_EQ(t2["Size"].toInt(-1), 0);
        EXPECT_EQ(t2["TIT2"].toString(QStringLiteral("missing")), QString());
        EXPECT_EQ(f["FileFacts"].toObject()["Length"].toInteger(-1), lengths[i]);
    }
    const QJsonObject hiddenFacts = files[2].toObject()["FileFacts"].toObject();
    EXPECT_TRUE(hiddenFacts["ReadOnly"].toBool());
    EXPECT_TRUE(hiddenFacts["Hidden"].toBool());
}

TEST_F(ShowTest, UnreadableFileIsReportedAndTheOthersAreStillShown) {
    const QString good1 = file(QStringLiteral("a.mp3"), Audio(10));
    const QString missing = dir.filePath(QStringLiteral("gone.mp3"));
    const QString folder = dir.filePath(QStringLiteral("folder.mp3"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.mp3")));
    const QString good2 = file(QStringLiteral("b.mp3"), Audio(20));

    const CliRun run = RunCli({QStringLiteral("show"), good1, missing, folder, good2});
    EXPECT_EQ(run.status, 1);
    const QJsonArray files = ParseArray(run.out);
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(files[0].toObject()["path"].toString(), good1);
    EXPECT_EQ(files[1].toObject()["path"].toString(), good2);
    EXPECT_TRUE(run.err.contains(missing)) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("不存在"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(folder)) << run.err.toStdString();
}

TEST_F(ShowTest, NothingReadableGivesAnEmptyArrayAndStatus1) {
    const CliRun run = RunCli({QStringLiteral("show"), dir.filePath(QStringLiteral("none.mp3"))});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(ParseArray(run.out).isEmpty());
}

TEST_F(ShowTest, UsageErrorsGiveStatus2AndNoOutput) {
    const QString dashed = file(QStringLiteral("-dash.mp3"), Audio(10));
    for (const QStringList& args :
         {QStringList{QStringLiteral("show")},
          QStringList{QStringLiteral("show"), QStringLiteral("--")},
          QStringList{QStringLiteral("show"), QStringLiteral("--json"), dashed}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains(QStringLiteral("usage"))) << run.err.toStdString();
    }
    // After "--" a name that starts with a dash is a file.
    const CliRun run = RunCli(
        {QStringLiteral("show"), QStringLiteral("--"), QStringLiteral("-dash.mp3")}, dir.path());
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(ParseArray(run.out).size(), 1);
}

}  // namespace
