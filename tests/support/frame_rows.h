#pragma once

#include "store/framecatalogue.h"

// The ID3v2 editor's rows by name, for tests that tick or read one row.
inline constexpr int kV2TIT2 = EditorRowOf("TIT2");
inline constexpr int kV2TPE1 = EditorRowOf("TPE1");
inline constexpr int kV2TALB = EditorRowOf("TALB");
inline constexpr int kV2TYER = EditorRowOf("TYER");
inline constexpr int kV2TCON = EditorRowOf("TCON");
inline constexpr int kV2COMM = EditorRowOf("COMM");
inline constexpr int kV2TRCK = EditorRowOf("TRCK");
inline constexpr int kV2TCOM = EditorRowOf("TCOM");
inline constexpr int kV2TOPE = EditorRowOf("TOPE");
inline constexpr int kV2TCOP = EditorRowOf("TCOP");
inline constexpr int kV2WXXX = EditorRowOf("WXXX");
inline constexpr int kV2TENC = EditorRowOf("TENC");
