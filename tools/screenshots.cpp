// Takes the README's screenshots: the main window and each dialog, over a
// generated folder of Chinese-tagged MP3 files, driven through the window's
// own buttons. scripts/screenshots.sh runs it under Xvfb and writes
// docs/screenshots/; with --check it writes into a temporary folder and
// only makes sure every picture came out (the test that keeps it working).
#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <cstdio>
#include <map>
#include <string_view>

#include "app/mainwindow.h"
#include "app/mp3listmodel.h"
#include "app/mp3listview.h"
#include "app/startplace.h"
#include "batch/storewords.h"
#include "store/programfolder.h"
#include "support/fixtures.h"
#include "ui/prompter.h"

namespace {

// No message box belongs in a screenshot: one that comes up is reported
// and makes the run fail.
class RefusingPrompter : public Prompter {
  public:
    void tell(const QString& text, const QString& caption) override { note(text, caption); }
    bool ask(const QString& text, const QString& caption) override {
        note(text, caption);
        return false;
    }
    bool prompted = false;

  private:
    void note(const QString& text, const QString& caption) {
        prompted = true;
        std::fprintf(stderr, "unexpected message: %s: %s\n", qUtf8Printable(caption),
                     qUtf8Printable(text));
    }
};

struct Song {
    const char* file;
    const char* title;
    int track;
    int kib;
};

// An album of made-up songs by a made-up singer.
const Song kSongs[] = {
    {"01 山间小路.mp3", "山间小路", 1, 3870},     {"02 月光下的河.mp3", "月光下的河", 2, 4412},
    {"03 夏夜的风铃.mp3", "夏夜的风铃", 3, 3958}, {"04 秋天的信.mp3", "秋天的信", 4, 4630},
    {"05 清晨的站台.mp3", "清晨的站台", 5, 3514}, {"06 远方的灯火.mp3", "远方的灯火", 6, 5021},
    {"07 旧书店.mp3", "旧书店", 7, 3307},         {"08 雪落无声.mp3", "雪落无声", 8, 4178},
};

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// The album's cover: a JPEG of 600×600 pixels, as a shop sells them.
QByteArray CoverJpeg() {
    QImage image(600, 600, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, 600);
    sky.setColorAt(0, QColor(250, 200, 120));
    sky.setColorAt(1, QColor(90, 120, 170));
    painter.fillRect(image.rect(), sky);
    painter.setBrush(QColor(60, 90, 60));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPoint(150, 620), 330, 200);
    painter.drawEllipse(QPoint(480, 640), 300, 180);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(96);
    painter.setFont(font);
    painter.drawText(QRect(0, 120, 600, 140), Qt::AlignCenter, QStringLiteral("四季"));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

bool MakeAlbum(const QString& folder) {
    const QString artist = QStringLiteral("林小雨");
    const QString album = QStringLiteral("四季");
    const QByteArray cover = V2Frame("APIC", ApicPayload("image/jpeg", 3, CoverJpeg()));
    const QByteArray lyrics =
        V2Frame("USLT", QByteArray("\0chi\0", 5) +
                            Gbk(QStringLiteral("夏夜的风铃轻轻响\n河边的萤火慢慢亮\n"
                                               "我把你的名字写在风里\n等它吹回我身旁")));
    bool ok = QDir().mkpath(folder);
    for (const Song& song : kSongs) {
        const QString title = QString::fromUtf8(song.title);
        const QByteArray v2 =
            V2Tag(V2Text("TIT2", Gbk(title)) + V2Text("TPE1", Gbk(artist)) +
                  V2Text("TALB", Gbk(album)) + V2Text("TYER", "2003") + V2Text("TCON", "Pop") +
                  V2Text("TRCK", QByteArray::number(song.track)) + V2Text("TPE2", Gbk(artist)) +
                  V2Text("TPOS", "1/1") + (song.track == 3 ? lyrics : QByteArray()) + cover);
        const QByteArray v1 = V1Bytes(Gbk(title), Gbk(artist), Gbk(album), "2003",
                                      Gbk(QStringLiteral("自制专辑")), quint8(song.track), 13);
        ok = ok && Write(folder + QLatin1Char('/') + QString::fromUtf8(song.file),
                         v2 + Audio(song.kib * 1024) + v1);
    }
    // Files other programs garbled: code page 936 read as Latin-1 and saved
    // as UTF-16 (ffmpeg -c copy), Big5 in encoding 0, UTF-8 in ID3v1.
    const auto utf16 = [](const QByteArray& id, const QString& text) {
        QByteArray payload("\x01\xFF\xFE", 3);
        for (const QChar c : text)
            payload += char(c.unicode() & 0xFF) + QByteArray(1, char(c.unicode() >> 8));
        return V2Frame(id, payload);
    };
    ok = ok && Write(folder + QStringLiteral("/09 七里香.mp3"),
                     V2Tag(utf16("TIT2", QString::fromLatin1(Gbk(QStringLiteral("七里香")))) +
                           utf16("TPE1", QString::fromLatin1(Gbk(QStringLiteral("周杰伦")))) +
                           utf16("TALB", QStringLiteral("七里香"))) +
                         Audio(3900 * 1024));
    ok = ok && Write(folder + QStringLiteral("/10 晴天.mp3"),
                     V2Tag(V2Text("TIT2", "\xB4\xB8\xA4\xD1") +           // 晴天 in Big5
                           V2Text("TPE1", "\xA9\x50\xAA\x4E\xAD\xDB")) +  // 周杰倫 in Big5
                         Audio(4300 * 1024));
    ok = ok && Write(folder + QStringLiteral("/11 夜曲.mp3"),
                     Audio(3600 * 1024) + V1Bytes("\xE5\xA4\x9C\xE6\x9B\xB2",  // 夜曲 in UTF-8
                                                  "Jay Chou", {}, "2005", {}, 1, 0, '\0'));
    // A file nobody has tagged yet.
    return ok && Write(folder + QStringLiteral("/未命名录音.mp3"), Audio(2150 * 1024));
}

// What to do in each dialog before it is photographed, and the picture's name.
struct DialogShot {
    const char* picture;
    const char* button;  // an option to click first, or nullptr
};
const std::map<QString, DialogShot> kDialogShots = {
    {QStringLiteral("frmID3v1Tag"), {"id3v1.png", nullptr}},
    {QStringLiteral("frmID3v2Tag"), {"id3v2.png", nullptr}},
    {QStringLiteral("frmFileName"), {"rename.png", "optFileNameChangeMode_2"}},
    {QStringLiteral("frmSetup"), {"setup.png", nullptr}},
    {QStringLiteral("frmMp3Info"), {"details.png", nullptr}},
    {QStringLiteral("frmFixEncoding"), {"fixencoding.png", nullptr}},
};

// Shows only the branch of the folder tree that leads to `folder`: the
// rest of the machine's folders do not belong in a README. The tree reads
// folders in the background, so rows are hidden as they arrive too.
void ShowOnlyBranch(Main& window, const QString& folder) {
    auto* tree = window.findChild<QTreeView*>(QStringLiteral("dirDirList"));
    auto* folders = tree ? qobject_cast<QFileSystemModel*>(tree->model()) : nullptr;
    if (!folders)
        return;
    const auto onBranch = [folder](const QString& path) {
        return path == folder || path == QLatin1String("/") ||
               folder.startsWith(path + QLatin1Char('/'));
    };
    const auto hideOthers = [=](const QModelIndex& parent, int first, int last) {
        for (int row = first; row <= last; ++row)
            tree->setRowHidden(row, parent,
                               !onBranch(folders->filePath(folders->index(row, 0, parent))));
    };
    QObject::connect(folders, &QAbstractItemModel::rowsInserted, tree, hideOthers);
    for (QString path = folder;; path = QFileInfo(path).path()) {
        const QModelIndex index = folders->index(path);
        hideOthers(index, 0, folders->rowCount(index) - 1);
        if (path == QLatin1String("/"))
            break;
    }
    hideOthers(QModelIndex(), 0, folders->rowCount() - 1);
}

bool Save(QWidget& widget, const QString& path) {
    QApplication::processEvents();
    const QPixmap picture = widget.grab();
    const bool saved = !picture.isNull() && picture.save(path, "PNG");
    std::printf("%s %s (%dx%d)\n", saved ? "wrote" : "FAILED", qUtf8Printable(path),
                picture.width(), picture.height());
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    InstallStoreWords();
    QCoreApplication::setApplicationName(QStringLiteral("Tamberlo"));
    const QStringList args = app.arguments();
    const bool check = args.contains(QStringLiteral("--check"));
    const qsizetype outAt = args.indexOf(QStringLiteral("--out"));
    if (!check && (outAt < 0 || outAt + 1 >= args.size())) {
        std::fprintf(stderr, "usage: tamberlo-screenshots --out FOLDER | --check\n");
        return 2;
    }

    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/tamberlo-shots-XXXXXX"));
    QTemporaryDir checkOut;
    const QString out = check ? checkOut.path() : QDir(args.at(outAt + 1)).absolutePath();
    const QString music = work.path() + QStringLiteral("/我的音乐/林小雨 - 四季");
    if (!work.isValid() || !checkOut.isValid() || !QDir().mkpath(out) || !MakeAlbum(music)) {
        std::fprintf(stderr, "cannot write the album or %s\n", qUtf8Printable(out));
        return 1;
    }
    // The default columns, away from the user's own settings.
    SetProgramFolder(work.path());

    RefusingPrompter prompter;
    Main window(prompter);
    ShowOnlyBranch(window, music);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    window.openStartPlace(ChooseStartPlace(
        StartSources{music + QLatin1Char('/') + QString::fromUtf8(kSongs[2].file), music}));
    // A dialog left without OK may still reload the list, which clears the
    // ticks; each picture gets them afresh.
    const auto tick = [&window] {
        for (const int row : {1, 2, 4}) window.listModel()->setChecked(row, true);
    };
    tick();
    QTest::qWait(500);  // the tree's folders arrive

    int pictures = 0;
    int taken = 0;
    pictures += Save(window, out + QStringLiteral("/main.png"));
    ++taken;

    window.setDialogRunner([&](QDialog& dialog) {
        const QString kind = QString::fromLatin1(dialog.metaObject()->className());
        const auto shot = kDialogShots.find(kind);
        if (shot == kDialogShots.end()) {
            std::fprintf(stderr, "no picture for dialog %s\n", qUtf8Printable(kind));
            return;
        }
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog))
            return;
        if (shot->second.button) {
            if (auto* option =
                    dialog.findChild<QAbstractButton*>(QLatin1String(shot->second.button)))
                option->click();
        }
        pictures += Save(dialog, out + QLatin1Char('/') + QLatin1String(shot->second.picture));
        // The details' ID3v2 page too: the frames and the cover.
        if (kind == QLatin1String("frmMp3Info")) {
            if (auto* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("tbsTagsEditing"))) {
                tabs->setCurrentIndex(1);
                QTest::qWait(50);
                pictures += Save(dialog, out + QStringLiteral("/details-id3v2.png"));
                ++taken;
            }
        }
        dialog.reject();
    });
    for (const char* button :
         {"cmdID3v1", "cmdID3v2", "cmdFileName", "cmdSetup", "cmdFixEncoding"}) {
        tick();
        // The repair is shown over the files other programs garbled.
        if (button == std::string_view("cmdFixEncoding"))
            for (const int row : {8, 9, 10}) window.listModel()->setChecked(row, true);
        if (auto* push = window.findChild<QPushButton*>(QLatin1String(button)))
            push->click();
        ++taken;
    }
    // The details of the file opened at start, as Return opens them; the
    // reloads after the dialogs dropped its selection.
    window.listView()->setCurrentIndex(window.listModel()->index(2, 0));
    QTest::keyClick(window.listView(), Qt::Key_Return);
    ++taken;

    const bool complete = pictures == taken && !prompter.prompted;
    if (!complete)
        std::fprintf(stderr, "%d of %d pictures taken\n", pictures, taken);
    return complete ? 0 : 1;
}
