#include "store/legacytext.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "store/codec.h"

using legacytext::Certainty;
using legacytext::CodePage;
using legacytext::Decode;
using legacytext::DecodeAs;
using legacytext::DecodeFile;
using legacytext::FileReading;
using legacytext::FolderVote;
using legacytext::Options;

namespace {

// Bytes written out by hand (from iconv's tables), never by the code under test.
template <qsizetype N>
QByteArray Bytes(const char (&s)[N]) {
    return QByteArray(s, N - 1);
}

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

const char* Name(CodePage cp) {
    switch (cp) {
        case CodePage::Gbk:
            return "936";
        case CodePage::Big5:
            return "950";
        case CodePage::ShiftJis:
            return "932";
        case CodePage::Korean:
            return "949";
        case CodePage::Western:
            return "1252";
        case CodePage::Utf8:
            return "UTF-8";
    }
    return "?";
}

struct Case {
    const char* what;
    QByteArray bytes;
    const char* text;
    CodePage cp;
};

void ExpectReads(const Case& c) {
    const legacytext::Reading r = Decode(c.bytes);
    EXPECT_EQ(r.text, Text(c.text)) << c.what;
    EXPECT_EQ(Name(r.codePage), Name(c.cp)) << c.what;
}

}  // namespace

TEST(LegacyText, ReadsTextsOfEveryCodePage) {
    const Case cases[] = {
        {"UTF-8 that is valid 936 (the old fixture misread it as 澶滄洸)",
         Bytes("\xE5\xA4\x9C\xE6\x9B\xB2"), "夜曲", CodePage::Utf8},
        {"Latin-1 name", Bytes("Bj\xF6rk"), "Björk", CodePage::Western},
        {"Big5 name", Bytes("\xA9\x50\xAA\x4E\xAD\xDB"), "周杰倫", CodePage::Big5},
        {"936 title", Bytes("\xC6\xDF\xC0\xEF\xCF\xE3"), "七里香", CodePage::Gbk},
        {"936 with ASCII", Bytes("\xD6\xDC\xBD\xDC\xC2\xD7 - \xC7\xE0\xBB\xA8\xB4\xC9"),
         "周杰伦 - 青花瓷", CodePage::Gbk},
        {"Shift-JIS kana", Bytes("\x82\xB3\x82\xAD\x82\xE7"), "さくら", CodePage::ShiftJis},
        {"Shift-JIS kanji", Bytes("\x90\xE7\x96\x7B\x8D\xF7"), "千本桜", CodePage::ShiftJis},
        {"CP949 Hangul", Bytes("\xBE\xC6\xB8\xAE\xB6\xFB"), "아리랑", CodePage::Korean},
        {"UTF-8 Korean", Bytes("\xEC\x82\xAC\xEB\x9E\x91"), "사랑", CodePage::Utf8},
        {"UTF-8 accented name", Bytes("Caf\xC3\xA9"), "Café", CodePage::Utf8},
        {"an accented letter the way this program wrote it: 936", Bytes("Beyonc\xA8\xA6"),
         "Beyoncé", CodePage::Gbk},
        {"Windows-1252 punctuation", Bytes("Don\x92t Stop \x96 Live"), "Don’t Stop – Live",
         CodePage::Western},
        {"Latin-1 words", Bytes("Sigur R\xF3s"), "Sigur Rós", CodePage::Western},
        {"Latin-1 words",
         Bytes("M\xF6tley Cr\xFC"
               "e"),
         "Mötley Crüe", CodePage::Western},
    };
    for (const Case& c : cases) ExpectReads(c);
}

// Two characters are four to six bytes: most of them read as something in
// three or four code pages. Each row is valid in the code pages named.
TEST(LegacyText, ReadsTwoCharacterTraps) {
    const Case cases[] = {
        {"936, also 950 949 932 1252", Bytes("\xD6\xD0\xCE\xC4"), "中文", CodePage::Gbk},
        {"936, also 950 949 1252", Bytes("\xD2\xB9\xC7\xFA"), "夜曲", CodePage::Gbk},
        {"936, also 950 949 1252", Bytes("\xB5\xBE\xCF\xE3"), "稻香", CodePage::Gbk},
        {"936, also 950 949 1252", Bytes("\xC7\xE7\xCC\xEC"), "晴天", CodePage::Gbk},
        {"936, also 950 949 1252", Bytes("\xCD\xF5\xB7\xC6"), "王菲", CodePage::Gbk},
        {"936, also 950 949 1252", Bytes("\xB0\xAE\xC7\xE9"), "爱情", CodePage::Gbk},
        {"936, also 950 949 932 1252", Bytes("\xBD\xAD\xC4\xCF"), "江南", CodePage::Gbk},
        {"936, also 950 949 1252", Bytes("\xBA\xEC\xB6\xB9"), "红豆", CodePage::Gbk},
        {"936, also 950 949 1252", Bytes("\xBA\xF3\xC0\xB4"), "后来", CodePage::Gbk},
        {"950, also 932 1252", Bytes("\xA5\x78\xC6\x57"), "台灣", CodePage::Big5},
        {"950, also 936 949 932 1252", Bytes("\xB7\x52\xB1\xA1"), "愛情", CodePage::Big5},
        {"950, also 932 1252", Bytes("\xB6\xC7\xA9\x5F"), "傳奇", CodePage::Big5},
        {"950, also 1252", Bytes("\xC5\xA5\xAE\xFC"), "聽海", CodePage::Big5},
        {"950, also 936 932 1252", Bytes("\xBD\xB2\xB5\x5E"), "蔡琴", CodePage::Big5},
        {"932, also 936 949 1252", Bytes("\x93\x8C\x8B\x9E"), "東京", CodePage::ShiftJis},
        {"932, also 936 949", Bytes("\x8F\x89\x89\xB9"), "初音", CodePage::ShiftJis},
        {"949, also 936 950 1252", Bytes("\xBB\xE7\xB6\xFB"), "사랑", CodePage::Korean},
        {"949, also 936 950 1252", Bytes("\xBC\xAD\xBF\xEF"), "서울", CodePage::Korean},
        {"UTF-8, also 936 932 1252", Bytes("\xE6\x99\xB4\xE5\xA4\xA9"), "晴天", CodePage::Utf8},
        {"UTF-8, also 936 932", Bytes("\xE6\x9D\xB1\xE4\xBA\xAC"), "東京", CodePage::Utf8},
        {"UTF-8, also 936 932", Bytes("\xE7\x8E\x8B\xE8\x8F\xB2"), "王菲", CodePage::Utf8},
        {"1252, also 936 950 932",
         Bytes("\xC7"
               "a"),
         "Ça", CodePage::Western},
    };
    for (const Case& c : cases) ExpectReads(c);
}

// Chinese doubles characters all the time (乐乐, 星星, 慢慢); Korean seldom
// says one syllable twice running, so such pairs must not read as Hangul.
TEST(LegacyText, ReadsDoubledCharacters) {
    const Case cases[] = {
        {"936 doubled, also 949", Bytes("\xC0\xD6\xC0\xD6"), "乐乐", CodePage::Gbk},
        {"936 tripled, also 949", Bytes("\xC0\xD6\xC0\xD6\xC0\xD6"), "乐乐乐", CodePage::Gbk},
        {"936 doubled, also 949", Bytes("\xD0\xC7\xD0\xC7"), "星星", CodePage::Gbk},
        {"936 doubled, also 949", Bytes("\xC2\xFD\xC2\xFD"), "慢慢", CodePage::Gbk},
        {"949, also 936", Bytes("\xBB\xE7\xB6\xFB\xC7\xD8"), "사랑해", CodePage::Korean},
    };
    for (const Case& c : cases) ExpectReads(c);
}

// An ID3v1 field is 30 bytes, padded with zeros or spaces, and a writer
// that fills it cuts the text anywhere, a character in half included.
TEST(LegacyText, ReadsFixedWidthFields) {
    const legacytext::Reading zeros = Decode(
        Bytes("\xE5\x91\xA8\xE6\x9D\xB0\xE4\xBC\xA6\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"));
    EXPECT_EQ(zeros.text, Text("周杰伦") + QString(21, QChar(0)));
    EXPECT_EQ(Name(zeros.codePage), Name(CodePage::Utf8));
    ExpectReads({"936 padded with spaces",
                 Bytes("\xD6\xDC\xBD\xDC\xC2\xD7                        "),
                 "周杰伦                        ", CodePage::Gbk});

    // "a" and nine characters of three bytes, then two bytes of the tenth.
    const QByteArray utf8Cut = Bytes(
        "a\xE4\xB8\x83\xE9\x87\x8C\xE9\xA6\x99\xE4\xB8\x83\xE9\x87\x8C\xE9\xA6\x99"
        "\xE4\xB8\x83\xE9\x87\x8C\xE9\xA6\x99\xE4\xB8");
    ASSERT_EQ(utf8Cut.size(), 30);
    const legacytext::Reading u = Decode(utf8Cut);
    EXPECT_EQ(Name(u.codePage), Name(CodePage::Utf8));
    EXPECT_EQ(u.text, Text("a七里香七里香七里香") + QChar(kRawByteBase + 0xE4) +
                          QChar(kRawByteBase + 0xB8));

    // "a" and fourteen characters of two bytes, then the lead byte of the fifteenth.
    const QByteArray gbkCut = Bytes(
        "a\xC6\xDF\xC0\xEF\xCF\xE3\xC6\xDF\xC0\xEF\xCF\xE3\xC6\xDF\xC0\xEF"
        "\xCF\xE3\xC6\xDF\xC0\xEF\xCF\xE3\xC6\xDF\xC0\xEF\xC6");
    ASSERT_EQ(gbkCut.size(), 30);
    const legacytext::Reading g = Decode(gbkCut);
    EXPECT_EQ(Name(g.codePage), Name(CodePage::Gbk));
    EXPECT_EQ(g.text, DecodeCP936(gbkCut));

    // A short text is never cut: its lone lead byte is an error, and
    // Latin-1 reads it without one.
    ExpectReads({"short text ending in a lead byte", Bytes("Caf\xE9"), "Café", CodePage::Western});
}

TEST(LegacyText, AsciiIsTheSameInEveryCodePage) {
    const legacytext::Reading r = Decode("Take Me Home");
    EXPECT_EQ(r.text, QStringLiteral("Take Me Home"));
    EXPECT_EQ(r.certainty, Certainty::Ascii);
    EXPECT_EQ(Decode(QByteArray("a\0b", 3)).text, QString::fromUtf16(u"a\0b", 3));
    EXPECT_EQ(Decode("").text, QString());
}

TEST(LegacyText, SaysHowSureItIs) {
    // 0xFF after a pair is an error in every DBCS code page; only 1252 reads it.
    EXPECT_EQ(Decode(Bytes("Caf\xE9 \xFF")).certainty, Certainty::Only);
    EXPECT_EQ(Decode(Bytes("\xD6\xDC\xBD\xDC\xC2\xD7 - \xC7\xE0\xBB\xA8\xB4\xC9")).certainty,
              Certainty::Clear);
    // Bytes no code page reads: byte 0x81 alone is a lone lead byte or
    // undefined everywhere. Shown as code page 936 does, stand-in included.
    const legacytext::Reading bad = Decode(Bytes("\x81"));
    EXPECT_EQ(bad.certainty, Certainty::Unreadable);
    EXPECT_EQ(Name(bad.codePage), Name(CodePage::Gbk));
    EXPECT_EQ(bad.text, QString(QChar(kRawByteBase + 0x81)));
}

TEST(LegacyText, UserDefinedCharactersCountAsErrors) {
    // AAA1 is in the user-defined area of 936 (private use); Big5 and
    // CP949 read it as characters.
    const legacytext::Reading r = Decode(Bytes("\xAA\xA1"));
    EXPECT_NE(Name(r.codePage), Name(CodePage::Gbk));
    EXPECT_NE(r.certainty, Certainty::Unreadable);
    // UTF-8 of a private-use character is valid UTF-8 but no text.
    EXPECT_NE(Decode(Bytes("\xEE\x80\x80")).codePage, CodePage::Utf8);
}

TEST(LegacyText, UnreadableBytesBecomeStandIns) {
    // A Big5 character, a byte that starts none, an ASCII letter.
    EXPECT_EQ(DecodeAs(CodePage::Big5, Bytes("\xA4\x40\xFF"
                                             "a")),
              Text("一") + QChar(kRawByteBase + 0xFF) + 'a');
    EXPECT_EQ(DecodeAs(CodePage::Utf8, Bytes("\xC3\xA9\xC3")),
              Text("é") + QChar(kRawByteBase + 0xC3));
    EXPECT_EQ(DecodeAs(CodePage::ShiftJis, Bytes("\x82\xB3\xA0")),
              Text("さ") + QChar(kRawByteBase + 0xA0));
    // Windows-1252 leaves five bytes undefined; they read as Latin-1 does.
    EXPECT_EQ(DecodeAs(CodePage::Western, Bytes("\x80\x81\x9D")),
              Text("€") + QChar(0x81) + QChar(0x9D));
    // Non-BMP characters of UTF-8 are surrogate pairs.
    EXPECT_EQ(DecodeAs(CodePage::Utf8, Bytes("\xF0\x9F\x8E\xB5")), Text("🎵"));
}

// The property the store relies on for code page 936: reading is exactly
// DecodeCP936, which EncodeCP936 inverts byte for byte.
TEST(LegacyText, CodePage936ReadsExactlyAsTheCodec) {
    for (int a = 0; a < 256; ++a) {
        const QByteArray one(1, char(a));
        ASSERT_EQ(DecodeAs(CodePage::Gbk, one), DecodeCP936(one)) << a;
        for (int b = 0; b < 256; ++b) {
            const QByteArray two = one + char(b);
            ASSERT_EQ(DecodeAs(CodePage::Gbk, two), DecodeCP936(two)) << a << " " << b;
        }
    }
    QRandomGenerator rng(936);
    for (int i = 0; i < 20000; ++i) {
        QByteArray bytes(rng.bounded(1, 12), '\0');
        for (char& c : bytes)
            c = char(rng.bounded(0x7C, 0x100));  // lead, trail and ASCII trail bytes
        ASSERT_EQ(DecodeAs(CodePage::Gbk, bytes), DecodeCP936(bytes)) << bytes.toHex().constData();
        ASSERT_EQ(EncodeCP936(DecodeAs(CodePage::Gbk, bytes)), bytes) << bytes.toHex().constData();
    }
}

// One writer wrote a file's texts: a short text that alone reads better in
// another code page follows the code page its file's other texts were
// decided in.
TEST(LegacyText, DecidesTheTextsOfAFileTogether) {
    const QByteArray title = Bytes("\xC0\xE7");  // 營 in Big5; alone it reads better as 936 纭
    const QByteArray artist = Bytes("\xA9\x50\xAA\x4E\xAD\xDB");  // 周杰倫 in Big5
    ASSERT_NE(Decode(title).codePage, CodePage::Big5);

    const FileReading file = DecodeFile({title, artist, "2004"});
    EXPECT_EQ(Name(file.codePage), Name(CodePage::Big5));
    ASSERT_EQ(file.texts.size(), 3);
    EXPECT_EQ(file.texts[0].text, Text("營"));
    EXPECT_EQ(file.texts[1].text, Text("周杰倫"));
    EXPECT_EQ(file.texts[2].text, QStringLiteral("2004"));
    EXPECT_EQ(file.texts[2].certainty, Certainty::Ascii);
}

TEST(LegacyText, TextsOfTwoWritersAreDecidedAlone) {
    // UTF-8 written into one frame by another tool; 936 in the other.
    // Windows-1252 reads both without error, but as mojibake.
    const QByteArray utf8 = Bytes("\xE4\xB8\x83\xE9\x87\x8C\xE9\xA6\x99");  // 七里香
    const QByteArray gbk = Bytes("\xD6\xDC\xBD\xDC\xC2\xD7");               // 周杰伦
    const FileReading file = DecodeFile({utf8, gbk});
    EXPECT_EQ(Name(file.texts[0].codePage), Name(CodePage::Utf8));
    EXPECT_EQ(file.texts[0].text, Text("七里香"));
    EXPECT_EQ(Name(file.texts[1].codePage), Name(CodePage::Gbk));
    EXPECT_EQ(file.texts[1].text, Text("周杰伦"));
}

TEST(LegacyText, AFileWithoutLegacyTextIsAscii) {
    const FileReading file = DecodeFile({"Hello", "", "1999"});
    EXPECT_EQ(file.certainty, Certainty::Ascii);
    EXPECT_EQ(file.texts.size(), 3);
}

TEST(LegacyText, FolderCodePageSettlesCloseCalls) {
    // 營 alone is a close call between 936 and Big5.
    const QByteArray close = Bytes("\xC0\xE7");
    const legacytext::Reading alone = Decode(close);
    ASSERT_EQ(alone.certainty, Certainty::Guess);

    const legacytext::Reading settled = Decode(close, {.folder = CodePage::Big5});
    EXPECT_EQ(Name(settled.codePage), Name(CodePage::Big5));
    EXPECT_EQ(settled.certainty, Certainty::Folder);
    EXPECT_EQ(settled.text, Text("營"));

    // A clear decision stands against the folder, and a folder code page
    // that cannot read the bytes is no candidate.
    const QByteArray clear = Bytes("\xE5\xA4\x9C\xE6\x9B\xB2");  // 夜曲 in UTF-8
    EXPECT_EQ(Name(Decode(clear, {.folder = CodePage::Gbk}).codePage), Name(CodePage::Utf8));
    EXPECT_EQ(Name(Decode(Bytes("Bj\xF6rk"), {.folder = CodePage::Korean}).codePage),
              Name(CodePage::Western));
}

TEST(LegacyText, FolderVoteCountsDecidedFilesOnly) {
    const auto file = [](CodePage cp, Certainty c) {
        FileReading f;
        f.codePage = cp;
        f.certainty = c;
        return f;
    };
    FolderVote vote;
    EXPECT_EQ(vote.Majority(), std::nullopt);
    vote.Add(file(CodePage::Big5, Certainty::Clear));
    vote.Add(file(CodePage::Big5, Certainty::Only));
    vote.Add(file(CodePage::Gbk, Certainty::Clear));
    // Guesses, folder-settled files and ASCII files are no evidence.
    for (Certainty c : {Certainty::Guess, Certainty::Folder, Certainty::Ascii,
                        Certainty::Unreadable, Certainty::Fixed})
        vote.Add(file(CodePage::Gbk, c));
    EXPECT_EQ(vote.Majority(), CodePage::Big5);
    vote.Add(file(CodePage::Gbk, Certainty::Clear));
    EXPECT_EQ(vote.Majority(), std::nullopt);  // two against two: no majority
}

TEST(LegacyText, FixedCodePageIsUsedAsGiven) {
    const QByteArray utf8ThatIsValid936 = Bytes("\xE5\xA4\x9C\xE6\x9B\xB2");
    // 936 fixed is the old rule: valid 936 stays 936...
    const legacytext::Reading r = Decode(utf8ThatIsValid936, {.fixed = CodePage::Gbk});
    EXPECT_EQ(r.text, Text("澶滄洸"));
    EXPECT_EQ(r.certainty, Certainty::Fixed);
    // ...and bytes it cannot read but UTF-8 can are UTF-8.
    EXPECT_EQ(Decode(Bytes("\xE4\xB8\x83\xE9\x87\x8C\xE9\xA6\x99"), {.fixed = CodePage::Gbk}).text,
              Text("七里香"));
    // Any fixed code page, even where another would read better.
    EXPECT_EQ(Decode(Bytes("\xD6\xD0\xCE\xC4"), {.fixed = CodePage::Big5}).text, Text("笢恅"));
    EXPECT_EQ(Decode(Bytes("Bj\xF6rk"), {.fixed = CodePage::Western}).text, Text("Björk"));
    const FileReading file =
        DecodeFile({"abc", Bytes("\xA9\x50\xAA\x4E\xAD\xDB")}, {.fixed = CodePage::Big5});
    EXPECT_EQ(file.certainty, Certainty::Fixed);
    EXPECT_EQ(file.texts[1].text, Text("周杰倫"));
}
