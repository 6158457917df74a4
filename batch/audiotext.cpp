#include "batch/audiotext.h"

#include <algorithm>

const QStringList& AudioFieldNames() {
    static const QStringList names = {QStringLiteral("时长"), QStringLiteral("比特率"),
                                      QStringLiteral("采样率"), QStringLiteral("声道"),
                                      QStringLiteral("MPEG 版本/层")};
    return names;
}

QString AudioFieldText(AudioField field, const std::optional<AudioProperties>& audio) {
    if (!audio)
        return {};
    switch (field) {
        case AudioField::Duration:
            return DurationText(audio->durationMs);
        case AudioField::Bitrate:
            return BitrateText(audio->bitrate, audio->vbr);
        case AudioField::SampleRate:
            return SampleRateText(audio->sampleRate);
        case AudioField::ChannelMode:
            return ChannelModeText(audio->channelMode);
        case AudioField::VersionLayer:
            return MpegVersionLayerText(audio->version, audio->layer);
    }
    return {};
}

qint64 AudioFieldSortKey(AudioField field, const std::optional<AudioProperties>& audio) {
    if (!audio)
        return -1;
    switch (field) {
        case AudioField::Duration:
            return audio->durationMs;
        case AudioField::Bitrate:
            return qint64(audio->bitrate) * 2 + (audio->vbr ? 1 : 0);
        case AudioField::SampleRate:
            return audio->sampleRate;
        case AudioField::ChannelMode:
            // By the number of channels first.
            return audio->channelMode == 3 ? 0 : audio->channelMode + 1;
        case AudioField::VersionLayer:
            return int(audio->version) * 4 + audio->layer;
    }
    return -1;
}

QString DurationText(qint64 ms) {
    const qint64 seconds = (std::max<qint64>(ms, 0) + 500) / 1000;
    const QString ss = QStringLiteral("%1").arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (seconds < 3600)
        return QStringLiteral("%1:%2").arg(seconds / 60).arg(ss);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(ss);
}

QString BitrateText(int kbps, bool vbr) {
    const QString text = QStringLiteral("%1 kbit/s").arg(kbps);
    return vbr ? QStringLiteral("VBR 平均 ") + text : text;
}

QString SampleRateText(int hz) {
    // Up to three decimals, trailing zeros dropped: every MPEG rate shows
    // exactly.
    QString number = QString::number(hz / 1000.0, 'f', 3);
    while (number.endsWith(QLatin1Char('0'))) number.chop(1);
    if (number.endsWith(QLatin1Char('.')))
        number.chop(1);
    return number + QStringLiteral(" kHz");
}

QString ChannelModeText(int mode) {
    switch (mode) {
        case 0:
            return QStringLiteral("立体声");
        case 1:
            return QStringLiteral("联合立体声");
        case 2:
            return QStringLiteral("双声道");
        case 3:
            return QStringLiteral("单声道");
        default:
            return {};
    }
}

QString MpegVersionLayerText(MpegFrameHeader::Version version, int layer) {
    static const char* const kVersions[] = {"MPEG-1", "MPEG-2", "MPEG-2.5"};
    static const char* const kLayers[] = {"I", "II", "III"};
    if (layer < 1 || layer > 3)
        return {};
    return QStringLiteral("%1 Layer %2")
        .arg(QLatin1String(kVersions[version]), QLatin1String(kLayers[layer - 1]));
}

QString LengthSourceText(const AudioProperties& audio) {
    if (!audio.lengthFromHeader)
        return QStringLiteral("按音频大小估算");
    switch (audio.header) {
        case AudioHeader::Xing:
            return QStringLiteral("Xing 头记录的帧数");
        case AudioHeader::Info:
            return QStringLiteral("Info 头记录的帧数");
        case AudioHeader::Vbri:
            return QStringLiteral("VBRI 头记录的帧数");
        case AudioHeader::None:
            break;
    }
    return QStringLiteral("按音频大小估算");
}
