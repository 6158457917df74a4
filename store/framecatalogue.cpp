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
