#pragma once

// Frame-level helpers shared by the ID3v2 reader and writer.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <optional>

#include "store/id3v2.h"

namespace id3v2frames {

// Undoes unsynchronisation: every FF 00 becomes FF.
QByteArray Resynchronise(QByteArrayView bytes);

// The v2.3 ID of a v2.2 frame ID; empty when v2.3 has none.
QByteArray V23IdOfV22(QByteArrayView id);

// The content of a frame with the version's extras removed: for v2.4 its
// unsynchronisation undone (also when the tag says so, `tagUnsync`), the
// group byte and data-length indicator dropped; for v2.3 the group byte
// dropped. Empty optional for a compressed or encrypted frame, which is
// never decoded.
std::optional<QByteArray> Content(const ID3v2Frame& frame, int major, bool tagUnsync);

// The frames a v2.3 tag holds for `frame` of a tag of version `major`: the
// frame itself (a v2.3 frame comes back unchanged), a converted frame, or
// none when v2.3 cannot carry it. A v2.4 date (TDRC) gives its day and time
// (TDAT, TIME); its year is the record's TYER.
QList<ID3v2Frame> ForV23(const ID3v2Frame& frame, int major, bool tagUnsync);

}  // namespace id3v2frames
