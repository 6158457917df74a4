#pragma once

#include "store/filefacts.h"
#include "store/id3v1.h"
#include "store/id3v2.h"

// The three records of one file, as the list shows them.
struct FileRecords {
    ID3v1Tag v1;
    ID3v2Tag v2;
    FileFacts facts;
};

// Reads all three records with one open of the file: the same results as
// ReadID3v1Tag, ReadID3v2Tag and GetFileFacts called one after the other.
// Throws StoreError when the file cannot be opened or read.
FileRecords ReadFileRecords(const QString& path);
