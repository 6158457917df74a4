#include "store/tagvalues.h"

#include "store/id3v2frames.h"

bool ID3v2Values::changed() const {
    for (const TagValue& value : fields_)
        if (value.changed())
            return true;
    return false;
}

ID3v2Tag ID3v2Values::record() const {
    ID3v2Tag tag = header_;
    for (size_t i = 0; i < kFrameCatalogue.size(); ++i)
        tag.*kFrameCatalogue[i].field = fields_[i].value();
    return tag;
}

ID3v2Values ID3v2ValuesFromRecord(const ID3v2Tag& tag) {
    ID3v2Values values;
    values.header_ = tag;
    for (size_t i = 0; i < kFrameCatalogue.size(); ++i)
        values.fields_[i].read = tag.*kFrameCatalogue[i].field;
    return values;
}

ID3v2Values ID3v2ValuesFromContents(const ID3v2Contents& contents) {
    ID3v2Values values = ID3v2ValuesFromRecord(contents.tag);
    for (size_t i = 0; i < kFrameCatalogue.size(); ++i) {
        const int slot = contents.shown[i];
        if (slot < 0)
            continue;
        const ID3v2Frame& frame = contents.frames[slot];
        StoredText& stored = values.fields_[i].stored;
        stored.present = true;
        stored.flags = frame.flags;
        stored.described = contents.described[i];
        const auto content =
            id3v2frames::Content(frame, contents.major, contents.tag.Unsynchronisation);
        if (content && !content->isEmpty())
            stored.encoding = quint8(content->at(0));
        stored.codePage = contents.tag.Legacy.codePages[i];
    }
    return values;
}

ID3v2Values ReadID3v2Values(const QString& path) {
    return ID3v2ValuesFromContents(ReadID3v2ShownFrames(path));
}
