#include "store/framecatalogue.h"

int FrameIndexOf(QByteArrayView id) {
    return id.size() == 4 ? FrameIndex(std::string_view(id.data(), 4)) : -1;
}

const FrameDescriptor& FrameOfEditorRow(int row) {
    return kFrameCatalogue[size_t(FrameIndexOfEditorRow(row))];
}

const FrameDescriptor* FrameOfColumn(int code) {
    for (const FrameDescriptor& frame : kFrameCatalogue)
        if (frame.column == code)
            return &frame;
    return nullptr;
}

QByteArrayView FrameIdOfV22(QByteArrayView id) {
    for (const FrameDescriptor& frame : kFrameCatalogue)
        if (id == frame.v22)
            return frame.id;
    return {};
}

namespace {

// Each order the table carries is a permutation of 0..11, the columns run
// on from 201 in the table's order, and the copy from ID3v1 fills the first
// editor rows: a new entry that breaks one of these fails the build.
constexpr bool IsPermutation(int (*of)(const FrameDescriptor&)) {
    std::array<bool, kFrameCount> seen{};
    for (const FrameDescriptor& frame : kFrameCatalogue) {
        const int n = of(frame);
        if (n < 0 || n >= kFrameCount || seen[size_t(n)])
            return false;
        seen[size_t(n)] = true;
    }
    return true;
}

constexpr bool ColumnsRunOn() {
    for (int i = 0; i < kFrameCount; ++i)
        if (kFrameCatalogue[size_t(i)].column != 201 + i)
            return false;
    return true;
}

constexpr bool CopyRowsComeFirst() {
    int copied = 0;
    for (const FrameDescriptor& frame : kFrameCatalogue) copied += frame.v1 != V1Counterpart::None;
    for (const FrameDescriptor& frame : kFrameCatalogue)
        if ((frame.v1 != V1Counterpart::None) != (frame.editorRow < copied))
            return false;
    return true;
}

static_assert(IsPermutation([](const FrameDescriptor& f) { return f.editorRow; }));
static_assert(IsPermutation([](const FrameDescriptor& f) { return f.writeOrder; }));
static_assert(ColumnsRunOn());
static_assert(CopyRowsComeFirst());
static_assert(kFrameCount == std::tuple_size_v<decltype(ID3v2Contents::shown)>);

}  // namespace
