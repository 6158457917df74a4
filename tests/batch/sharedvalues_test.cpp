// What the editors show before anything is typed: the value every ticked
// file shares, or "mixed".
#include "batch/sharedvalues.h"

#include <gtest/gtest.h>

#include "batch/edit_folder_fixture.h"
#include "batch/id3v1edit.h"
#include "batch/id3v2edit.h"

namespace {

TEST(SharedValues, AFieldIsSharedOnlyWhileEveryFileAgrees) {
    SharedValues shared(3);
    shared.add({"a", "x", ""});
    shared.add({"a", "y", ""});
    shared.add({"a", "x", ""});
    const std::vector<SharedValue> expected = {{false, "a"}, {true, ""}, {false, ""}};
    EXPECT_EQ(shared.values(), expected);
    EXPECT_EQ(shared.files(), 3);
    // nothing read: nothing shared either way
    EXPECT_EQ(SharedValues(2).values(), (std::vector<SharedValue>(2)));
}

class SharedReading : public EditFolder {};

TEST_F(SharedReading, ID3v1ValuesAcrossFiles) {
    put("a.mp3", Audio(100) + V1Bytes("One", "Band", "Album", "2001", "c", 3, 17));
    put("b.mp3", Audio(100) + V1Bytes("Two", "Band", "Album", "2002", "c", 3, 17));
    put("c.mp3", Audio(100) + V1Bytes("Three", QByteArray("Band\0\0junk", 10), "Album  ", "2003",
                                      "c", 3, 17, '\0'));
    const std::vector<SharedValue> values = SharedID3v1Values(ticked({"a.mp3", "b.mp3", "c.mp3"}));
    ASSERT_EQ(values.size(), size_t(kID3v1RowCount));
    EXPECT_TRUE(values[kV1Title].mixed);
    EXPECT_EQ(values[kV1Artist], (SharedValue{false, "Band"}));  // cut at NUL
    EXPECT_EQ(values[kV1Album], (SharedValue{false, "Album"}));  // blanks trimmed
    EXPECT_TRUE(values[kV1Year].mixed);
    EXPECT_EQ(values[kV1Comment], (SharedValue{false, "c"}));
    EXPECT_EQ(values[kV1Genre], (SharedValue{false, "17"}));
    EXPECT_EQ(values[kV1Track], (SharedValue{false, "3"}));
}

TEST_F(SharedReading, AFileWithoutATagCountsAsEmptyAndAVanishedOneIsLeftOut) {
    put("a.mp3", Audio(100) + V1Bytes("One", "Band"));
    put("none.mp3", Audio(300));
    const std::vector<SharedValue> values = SharedID3v1Values(ticked({"a.mp3", "gone.mp3"}));
    EXPECT_EQ(values[kV1Artist], (SharedValue{false, "Band"}));
    const std::vector<SharedValue> mixed = SharedID3v1Values(ticked({"a.mp3", "none.mp3"}));
    EXPECT_TRUE(mixed[kV1Artist].mixed);
}

TEST_F(SharedReading, ID3v2ValuesPerEditorRow) {
    put("a.mp3", V2Tag(V2Text("TIT2", "One") + V2Text("TPE1", "Band") + V2Text("TCON", "Rock")) +
                     Audio(100));
    put("b.mp3", V2Tag(V2Text("TIT2", "Two") + V2Text("TPE1", "Band") + V2Text("TCON", "Rock")) +
                     Audio(100));
    const std::vector<SharedValue> values = SharedID3v2Values(ticked({"a.mp3", "b.mp3"}));
    ASSERT_EQ(values.size(), size_t(kID3v2RowCount));
    EXPECT_TRUE(values[size_t(EditorRowOf("TIT2"))].mixed);
    EXPECT_EQ(values[size_t(EditorRowOf("TPE1"))], (SharedValue{false, "Band"}));
    EXPECT_EQ(values[size_t(EditorRowOf("TCON"))], (SharedValue{false, "Rock"}));
    EXPECT_EQ(values[size_t(EditorRowOf("TALB"))], (SharedValue{false, ""}));
}

TEST_F(SharedReading, CancelStopsBetweenFiles) {
    QStringList names;
    for (int i = 0; i < 5; ++i) {
        const QString name = QStringLiteral("%1.mp3").arg(i);
        put(name, Audio(100) + V1Bytes(QByteArray::number(i)));
        names << name;
    }
    int asked = 0;
    int progressed = 0;
    SharedRead read;
    read.cancelled = [&] { return ++asked > 2; };
    read.progress = [&](int done, int total) {
        progressed = done;
        EXPECT_EQ(total, 5);
    };
    const std::vector<SharedValue> values = SharedID3v1Values(ticked(names), read);
    EXPECT_EQ(progressed, 2);
    EXPECT_TRUE(values[kV1Title].mixed);  // "0" and "1" were read
}

}  // namespace
