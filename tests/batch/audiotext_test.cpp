// The texts of the audio columns and their sort keys.
#include "batch/audiotext.h"

#include <gtest/gtest.h>

namespace {

AudioProperties Some() {
    AudioProperties p;
    p.version = MpegFrameHeader::kMpeg2;
    p.layer = 3;
    p.sampleRate = 22050;
    p.channelMode = 1;
    p.durationMs = 225400;
    p.bitrate = 192;
    p.vbr = true;
    return p;
}

}  // namespace

TEST(AudioText, DurationRoundsToSecondsAndShowsHoursFromAnHourOn) {
    const struct {
        qint64 ms;
        const char* text;
    } cases[] = {
        {0, "0:00"},        {499, "0:00"},        {500, "0:01"},        {7000, "0:07"},
        {59499, "0:59"},    {59500, "1:00"},      {225400, "3:45"},     {600000, "10:00"},
        {3599499, "59:59"}, {3599500, "1:00:00"}, {3723000, "1:02:03"}, {36000000, "10:00:00"},
        {-5, "0:00"},  // never shown negative
    };
    for (const auto& c : cases) EXPECT_EQ(DurationText(c.ms), QString::fromUtf8(c.text)) << c.ms;
}

TEST(AudioText, EveryMpegSampleRate) {
    const struct {
        int hz;
        const char* text;
    } cases[] = {
        {44100, "44.1 kHz"},   {48000, "48 kHz"}, {32000, "32 kHz"},
        {22050, "22.05 kHz"},  {24000, "24 kHz"}, {16000, "16 kHz"},
        {11025, "11.025 kHz"}, {12000, "12 kHz"}, {8000, "8 kHz"},
    };
    for (const auto& c : cases) EXPECT_EQ(SampleRateText(c.hz), QString::fromUtf8(c.text));
}

TEST(AudioText, BitrateChannelsVersionAndLayer) {
    EXPECT_EQ(BitrateText(128, false), QStringLiteral("128 kbit/s"));
    EXPECT_EQ(BitrateText(192, true), QStringLiteral("VBR 平均 192 kbit/s"));

    const char* const modes[] = {"立体声", "联合立体声", "双声道", "单声道"};
    for (int mode = 0; mode < 4; ++mode)
        EXPECT_EQ(ChannelModeText(mode), QString::fromUtf8(modes[mode]));
    EXPECT_EQ(ChannelModeText(4), QString());

    const struct {
        MpegFrameHeader::Version version;
        int layer;
        const char* text;
    } versions[] = {
        {MpegFrameHeader::kMpeg1, 1, "MPEG-1 Layer I"},
        {MpegFrameHeader::kMpeg1, 2, "MPEG-1 Layer II"},
        {MpegFrameHeader::kMpeg1, 3, "MPEG-1 Layer III"},
        {MpegFrameHeader::kMpeg2, 2, "MPEG-2 Layer II"},
        {MpegFrameHeader::kMpeg2, 3, "MPEG-2 Layer III"},
        {MpegFrameHeader::kMpeg25, 3, "MPEG-2.5 Layer III"},
    };
    for (const auto& v : versions)
        EXPECT_EQ(MpegVersionLayerText(v.version, v.layer), QString::fromUtf8(v.text));
}

TEST(AudioText, FieldsInColumnOrderAndEmptyWhenUnknown) {
    ASSERT_EQ(AudioFieldNames(), (QStringList{QStringLiteral("时长"), QStringLiteral("比特率"),
                                              QStringLiteral("采样率"), QStringLiteral("声道"),
                                              QStringLiteral("MPEG 版本/层")}));
    const QStringList texts = {QStringLiteral("3:45"), QStringLiteral("VBR 平均 192 kbit/s"),
                               QStringLiteral("22.05 kHz"), QStringLiteral("联合立体声"),
                               QStringLiteral("MPEG-2 Layer III")};
    for (int i = 0; i < kAudioFieldCount; ++i) {
        const auto field = AudioField(i);
        EXPECT_EQ(AudioFieldText(field, Some()), texts[i]) << i;
        EXPECT_EQ(AudioFieldText(field, std::nullopt), QString()) << i;
        EXPECT_EQ(AudioFieldSortKey(field, std::nullopt), -1) << i;
        EXPECT_GE(AudioFieldSortKey(field, Some()), 0) << i;
    }
}

// Sorting by value, not by text: "9:59" before "10:00", "64 kbit/s" before
// "128 kbit/s", "8 kHz" before "44.1 kHz".
TEST(AudioText, SortKeysFollowTheValues) {
    const auto key = [](AudioField field, auto change) {
        AudioProperties p = Some();
        change(p);
        return AudioFieldSortKey(field, p);
    };
    EXPECT_LT(key(AudioField::Duration, [](auto& p) { p.durationMs = 599000; }),
              key(AudioField::Duration, [](auto& p) { p.durationMs = 600000; }));
    EXPECT_LT(key(AudioField::Bitrate, [](auto& p) { p.bitrate = 64; }),
              key(AudioField::Bitrate, [](auto& p) { p.bitrate = 128; }));
    EXPECT_LT(key(AudioField::Bitrate, [](auto& p) { p.vbr = false; }),
              key(AudioField::Bitrate, [](auto& p) { p.vbr = true; }));
    EXPECT_LT(key(AudioField::Bitrate, [](auto& p) { p.bitrate = 191; }),
              key(AudioField::Bitrate, [](auto& p) { p.vbr = false; }));
    EXPECT_LT(key(AudioField::SampleRate, [](auto& p) { p.sampleRate = 8000; }),
              key(AudioField::SampleRate, [](auto& p) { p.sampleRate = 44100; }));
    // Mono before the two-channel modes.
    const qint64 mono = key(AudioField::ChannelMode, [](auto& p) { p.channelMode = 3; });
    for (int mode = 0; mode < 3; ++mode)
        EXPECT_LT(mono, key(AudioField::ChannelMode, [&](auto& p) { p.channelMode = mode; }));
    // MPEG-1 Layer III before MPEG-2 Layer I.
    EXPECT_LT(key(AudioField::VersionLayer,
                  [](auto& p) {
                      p.version = MpegFrameHeader::kMpeg1;
                      p.layer = 3;
                  }),
              key(AudioField::VersionLayer, [](auto& p) { p.layer = 1; }));
}

TEST(AudioText, WhereTheLengthComesFrom) {
    AudioProperties p = Some();
    EXPECT_EQ(LengthSourceText(p), QStringLiteral("按音频大小估算"));
    p.lengthFromHeader = true;
    const struct {
        AudioHeader header;
        const char* text;
    } cases[] = {{AudioHeader::Xing, "Xing 头记录的帧数"},
                 {AudioHeader::Info, "Info 头记录的帧数"},
                 {AudioHeader::Vbri, "VBRI 头记录的帧数"}};
    for (const auto& c : cases) {
        p.header = c.header;
        EXPECT_EQ(LengthSourceText(p), QString::fromUtf8(c.text));
    }
    // A Xing header without a frame count leaves the length estimated.
    p.lengthFromHeader = false;
    EXPECT_EQ(LengthSourceText(p), QStringLiteral("按音频大小估算"));
}
