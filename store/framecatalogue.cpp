#include "store/framecatalogue.h"

int FrameIndexOf(QByteArrayView id) {
    return id.size() == 4 ? FrameIndex(std::string_view(id.data(), 4)) : -1;
}

const FrameDescriptor& FrameOfEditorRow(int row) {
    for (const FrameDescriptor& frame : kFrameCatalogue)
        if (frame.editorRow == row)
            return frame;
    return kFrameCatalogue.back();
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
