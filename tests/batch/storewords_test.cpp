#include "batch/storewords.h"

#include <gtest/gtest.h>

#include <QSet>
#include <cerrno>
#include <cstring>

#include "store/filecontent.h"
#include "support/qt_printers.h"

namespace {

// Every operation and every reason has words of its own: a code added to the
// store without words would show an empty text in a message.
TEST(StoreWords, EveryOperationAndReasonHasWordsOfItsOwn) {
    const ChineseStoreWording words;
    QSet<QString> operations;
    for (int i = 0; i <= int(StoreOp::Undo); ++i) {
        const QString text = words.operation(StoreOp(i));
        EXPECT_FALSE(text.isEmpty()) << i;
        operations.insert(text);
    }
    EXPECT_EQ(operations.size(), int(StoreOp::Undo) + 1);

    QSet<QString> reasons;
    int worded = 0;
    for (int i = 0; i <= int(StoreProblem::ContentFormat); ++i) {
        const auto problem = StoreProblem(i);
        if (problem == StoreProblem::System || problem == StoreProblem::Text)
            continue;
        // Kinds that take a number get one they word.
        const qint64 number =
            problem == StoreProblem::NotMp3 || problem == StoreProblem::ContentFormat
                ? qint64(ContentKind::Png)
                : 7;
        const QString text = words.reason(problem, number, QStringLiteral("X"));
        EXPECT_FALSE(text.isEmpty()) << i;
        reasons.insert(text);
        ++worded;
    }
    EXPECT_EQ(reasons.size(), worded);
}

// The sentences the window and the command line show, byte for byte.
TEST(StoreWords, MessagesReadAsTheProgramShowsThem) {
    const QString system = QString::fromLocal8Bit(std::strerror(EACCES));
    const struct {
        StoreError error;
        QString message;
    } cases[] = {
        {StoreError::fromErrno(QStringLiteral("/音乐/a.mp3"), StoreOp::Write, EACCES),
         QStringLiteral("写入“/音乐/a.mp3”时出错：没有权限（") + system + QStringLiteral("）")},
        {StoreError(QStringLiteral("/a.mp3"), StoreOp::Write, StoreProblem::NotMp3,
                    qint64(ContentKind::Png)),
         QStringLiteral("写入“/a.mp3”时出错：不是 MP3 文件（看起来是 PNG 图片）")},
        {StoreError({}, StoreOp::BuildID3v2, StoreProblem::FrameTooLong, 300000000,
                    QStringLiteral("APIC")),
         QStringLiteral("生成 ID3v2 标签时出错：APIC 帧的内容太长（300000000 字节），无法写入")},
        {StoreError(QStringLiteral("/b.mp3"), StoreOp::RewriteID3v2, StoreProblem::TagUnwritable, 0,
                    QStringLiteral("扩展标头的大小超出了标签")),
         QStringLiteral("改写 ID3v2 标签“/b.mp3”时出错：扩展标头的大小超出了标签；"
                        "为免丢失数据，文件未作改动")},
        // An errno without a Chinese name shows the system's words alone.
        {StoreError::fromErrno(QStringLiteral("/c"), StoreOp::Lock, EWOULDBLOCK),
         QStringLiteral("锁定“/c”时出错：") + QString::fromLocal8Bit(std::strerror(EWOULDBLOCK))},
    };
    for (const auto& c : cases) EXPECT_EQ(c.error.message(), c.message);
}

// The store chooses no words: without the program's wording it speaks plain
// English, and the failure's codes survive a change of path.
TEST(StoreWords, TheStoreAloneSpeaksPlainEnglish) {
    const StoreError error = StoreError::fromErrno(QStringLiteral("/x.mp3"), StoreOp::Open, ENOENT);
    SetStoreWording(nullptr);
    const QString plain = error.message();
    InstallStoreWords();
    EXPECT_TRUE(plain.startsWith(QStringLiteral("cannot open \"/x.mp3\": ")))
        << plain.toStdString();
    EXPECT_EQ(QString::fromUtf8(error.what()), plain);

    const StoreError moved = error.withPath(QStringLiteral("/y.mp3"));
    EXPECT_EQ(moved.op(), StoreOp::Open);
    EXPECT_EQ(moved.problem(), StoreProblem::System);
    EXPECT_EQ(moved.number(), ENOENT);
    EXPECT_TRUE(
        moved.message().startsWith(QStringLiteral("打开“/y.mp3”时出错：文件或文件夹不存在")));
}

}  // namespace
