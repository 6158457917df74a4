#pragma once

#include <QDialog>
#include <QString>

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QTabWidget;

// The details of one file on three tab pages: its ID3v1 fields, its ID3v2
// frames and its file facts. Read once when it opens; shows, never writes.
//
// Controls, by object name: the frame "fraTagEditArea" (caption = full path),
// the tab strip "tbsTagsEditing" (tab data = key "ID3v1", "ID3v2",
// "File Name"), the pages fraTabs(1..3), the value labels "labSongTitle" ..
// "labComment", "labTIT2" .. "labUSLT", the cover "labCoverImage" (the
// thumbnail) and "labCover" (its size), "txtFileName", "txtPath",
// "txtFileSize", "txtReadOnly", "txtArchive", "txtContent", the audio
// "txtDuration", "txtBitrate", "txtSampleRate", "txtChannelMode",
// "txtVersionLayer", and the close
// button "cmdModifyID3v1". A text that was not stored as Unicode shows the
// code page it was read in beside it ("labArtistCodePage": "Big5"), a
// Unicode text that is garbled Chinese "乱码?". A file that cannot be read shows what could be
// learnt and, on the pages concerned, a note "labProblem" saying why; a file
// that is not MP3 says so in a note "labContent" above the tabs.
class frmMp3Info : public QDialog {
    Q_OBJECT
  public:
    frmMp3Info(const QString& folder, const QString& fileName, QWidget* parent = nullptr);

    // CurrentTab: the index 1..3 of the page shown.
    int currentTab() const { return CurrentTab; }
    // The page of tab `index` (1..3).
    QFrame* fraTabs(int index) const;

  private:
    QGroupBox* fraTagEditArea = nullptr;
    QTabWidget* tbsTagsEditing = nullptr;
    QFrame* pages[3] = {};
    QPushButton* cmdModifyID3v1 = nullptr;
    int CurrentTab = 1;
};
