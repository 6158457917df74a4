#include "store/codec.h"

#include <gtest/gtest.h>

#include "support/fixtures.h"

namespace {

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values) out.append(char(v));
    return out;
}

}  // namespace

TEST(Codec, DecodesGbkAsciiAndEuro) {
    EXPECT_EQ(DecodeCP936(Gbk(QStringLiteral("周杰伦 - 晴天"))), QStringLiteral("周杰伦 - 晴天"));
    EXPECT_EQ(DecodeCP936(Bytes({0x80})), QString(QChar(0x20AC)));  // euro sign
    EXPECT_EQ(DecodeCP936(QByteArray("a\0b", 3)), QString::fromUtf16(u"a\0b", 3));
}

TEST(Codec, EverySingleByteSurvivesARoundTrip) {
    for (int b = 0; b < 256; ++b) {
        const QByteArray one(1, char(b));
        const QString text = DecodeCP936(one);
        EXPECT_EQ(text.size(), 1) << b;
        EXPECT_EQ(EncodeCP936(text), one) << b;
    }
}

TEST(Codec, EveryTwoByteSequenceSurvivesARoundTrip) {
    // Covers valid pairs, unassigned pairs, lone lead bytes before ASCII and
    // every trailing half character.
    for (int lead = 0x80; lead < 256; ++lead) {
        for (int trail = 0; trail < 256; ++trail) {
            const QByteArray pair = Bytes({lead, trail});
            ASSERT_EQ(EncodeCP936(DecodeCP936(pair)), pair) << lead << " " << trail;
        }
    }
}

TEST(Codec, FieldEndingInALoneLeadByteKeepsIt) {
    const QByteArray field = Gbk(QStringLiteral("中文")) + Bytes({0xD6});  // cut character
    const QString text = DecodeCP936(field);
    EXPECT_EQ(text.left(2), QStringLiteral("中文"));
    EXPECT_EQ(text.at(2).unicode(), kRawByteBase + 0xD6);
    EXPECT_EQ(EncodeCP936(text), field);
}

TEST(Codec, UnrepresentableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(EncodeCP936(QStringLiteral("a한b")), QByteArray("a?b"));
    EXPECT_EQ(EncodeCP936(QString::fromUtf8("x\xF0\x9F\x8E\xB5y")),
              QByteArray("x?y"));  // one ? per code point
}

TEST(Codec, FixedWidthPadsWithSpacesAndNeverWritesHalfACharacter) {
    EXPECT_EQ(EncodeCP936Fixed(QStringLiteral("abc"), 5), QByteArray("abc  "));
    EXPECT_EQ(EncodeCP936Fixed(QStringLiteral("abcdef"), 4), QByteArray("abcd"));
    // "a中" is 3 bytes; a width of 2 would cut 中 in half: a blank takes its place.
    EXPECT_EQ(EncodeCP936Fixed(QStringLiteral("a中"), 2), QByteArray("a "));
    EXPECT_EQ(EncodeCP936Fixed(QStringLiteral("a中"), 3),
              QByteArray("a") + Gbk(QStringLiteral("中")));
}

TEST(Codec, FindsTheFirstCharacterCodePage936CannotHold) {
    const struct {
        QString text;
        qsizetype index;  // -1: all held
    } cases[] = {
        {QStringLiteral("周杰伦 abc"), -1},
        {QStringLiteral("5€"), -1},  // the euro sign is byte 0x80
        {QStringLiteral("a한b"), 1},
        {QStringLiteral("好😀"), 1},
        {QStringLiteral("𠮷"), 0},
        {QString(QChar(0xD800)) + QStringLiteral("a"), 0},  // a lone surrogate
        {QString(QChar(kRawByteBase + 0xD6)), -1},          // stands for a byte: held
        {QString(), -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindCharacterNotInCP936(c.text), c.index) << c.text.toStdString();
    }
    EXPECT_EQ(CharacterAt(QStringLiteral("好😀"), 1), QStringLiteral("😀"));
    EXPECT_EQ(CharacterAt(QStringLiteral("ab"), 1), QStringLiteral("b"));
}
