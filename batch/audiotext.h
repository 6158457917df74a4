#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "store/mpegaudio.h"

// Texts of a file's audio properties, as the audio columns of the main list
// and the details dialog show them. An unknown value (the file was not read
// for its audio, or holds no MPEG audio frame) shows as an empty text.

// The audio columns, in catalogue order.
enum class AudioField { Duration, Bitrate, SampleRate, ChannelMode, VersionLayer };
inline constexpr int kAudioFieldCount = 5;

// Header texts in field order: "时长", "比特率", "采样率", "声道", "MPEG 版本/层".
const QStringList& AudioFieldNames();

// The text of one field.
QString AudioFieldText(AudioField field, const std::optional<AudioProperties>& audio);
// A key that sorts the field by value, unknown first (-1): milliseconds;
// kbit/s with CBR before VBR of the same figure; Hz; mono, stereo, joint
// stereo, dual channel; MPEG-1, 2, 2.5, each layer I to III.
qint64 AudioFieldSortKey(AudioField field, const std::optional<AudioProperties>& audio);

// "0:07", "3:45", from an hour on "1:02:03"; rounded to the nearest second.
QString DurationText(qint64 ms);
// "128 kbit/s"; a VBR file shows its average: "VBR 平均 192 kbit/s".
QString BitrateText(int kbps, bool vbr);
// "44.1 kHz", "48 kHz", "22.05 kHz", "11.025 kHz".
QString SampleRateText(int hz);
// "立体声", "联合立体声", "双声道", "单声道"; empty for another number.
QString ChannelModeText(int mode);
// "MPEG-1 Layer III", "MPEG-2 Layer II", "MPEG-2.5 Layer III".
QString MpegVersionLayerText(MpegFrameHeader::Version version, int layer);

// For the details dialog, where the length comes from: "Xing 头记录的帧数",
// "Info 头记录的帧数", "VBRI 头记录的帧数", or "按音频大小估算" when no header
// gives a frame count.
QString LengthSourceText(const AudioProperties& audio);
