#include "store/safewrite.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <thread>

#include "store/faultyio.h"
#include "support/journal_fixture.h"

using namespace journaltest;

using sysio::Call;

namespace {

QStringList FolderEntries(const QString& folder) {
    QStringList names;
    DIR* dir = ::opendir(folder.toUtf8().constData());
    while (const dirent* e = ::readdir(dir)) {
        const QString name = QString::fromUtf8(e->d_name);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            names.append(name);
    }
    ::closedir(dir);
    names.sort();
    return names;
}

QByteArray Xattr(const QString& path, const char* name) {
    char value[64];
    const ssize_t n = ::getxattr(path.toUtf8().constData(), name, value, sizeof value);
    return n < 0 ? QByteArray() : QByteArray(value, n);
}

void SetMtime(const QString& path, qint64 seconds) {
    struct timespec times[2] = {{0, UTIME_OMIT}, {time_t(seconds), 0}};
    ::utimensat(AT_FDCWD, path.toUtf8().constData(), times, 0);
}

class SafeWrite : public ::testing::Test {
  protected:
    QString path(const char* name = "a.mp3") const { return dir.filePath(name); }

    // A file with a 1024-byte tag region and 20,000 bytes of audio.
    QByteArray makeFile(const char* name = "a.mp3") {
        const QByteArray bytes = Pattern('o', 1024) + Pattern('A', 20000);
        WriteBytes(path(name), bytes);
        return bytes;
    }

    // The change a writer plans for the file as it stands.
    static FileChange plan(const QString& file, qint64 offset, qint64 oldLength,
                           const QByteArray& newBytes) {
        return std::get<FileChange>(PlanRegion(file, offset, oldLength, newBytes).change);
    }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(SafeWrite, InPlaceKeepsInodeLinksModeAttributesAndAudio) {
    const QByteArray old = makeFile();
    ::chmod(path().toUtf8().constData(), 0640);
    const bool xattrs = ::setxattr(path().toUtf8().constData(), "user.note", "v", 1, 0) == 0;
    ASSERT_EQ(::link(path().toUtf8().constData(), path("b.mp3").toUtf8().constData()), 0);
    const struct stat before = StatOf(path());

    const QByteArray tag = Pattern('n', 1024);
    const ApplyResult r = ApplyFileChange(sysio::System(), plan(path(), 0, 1024, tag));
    ASSERT_EQ(r.status, ApplyStatus::Written) << r.reason.toStdString();

    const QByteArray expected = tag + old.mid(1024);
    EXPECT_EQ(ReadBytes(path()), expected);
    EXPECT_EQ(ReadBytes(path("b.mp3")), expected);  // the other link sees the new tag
    const struct stat after = StatOf(path());
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
    if (xattrs) {
        EXPECT_EQ(Xattr(path(), "user.note"), QByteArray("v"));
    }
}

TEST_F(SafeWrite, KeepsTheModificationTimeOnlyWhenAsked) {
    for (bool keep : {false, true}) {
        makeFile();
        SetMtime(path(), 978307200);  // 2001-01-01
        ApplyOptions options;
        options.keepMtime = keep;
        for (qint64 length : {qint64(1024), qint64(1000)}) {  // in place, then beside
            const ApplyResult r = ApplyFileChange(
                sysio::System(), plan(path(), 0, length, Pattern('n', 1024)), options);
            ASSERT_EQ(r.status, ApplyStatus::Written);
            EXPECT_EQ(StatOf(path()).st_mtim.tv_sec == 978307200, keep) << length;
        }
    }
}

TEST_F(SafeWrite, RefusesAFileChangedAfterItWasRead) {
    struct Case {
        const char* what;
        std::function<void(const QString&)> meddle;
    };
    const Case cases[] = {
        {"a tag byte changed, time put back",
         [](const QString& p) {
             const struct stat st = StatOf(p);
             QByteArray b = ReadBytes(p);
             b[10] = '!';
             WriteBytes(p, b);
             struct timespec times[2] = {st.st_atim, st.st_mtim};
             ::utimensat(AT_FDCWD, p.toUtf8().constData(), times, 0);
         }},
        {"an audio byte changed",
         [](const QString& p) {
             QByteArray b = ReadBytes(p);
             b[5000] = '!';
             WriteBytes(p, b);
             SetMtime(p, 1000);
         }},
        {"replaced by another file",
         [](const QString& p) {
             const QByteArray b = ReadBytes(p);
             WriteBytes(p + QStringLiteral(".new"), b);
             ::rename((p + QStringLiteral(".new")).toUtf8().constData(), p.toUtf8().constData());
         }},
    };
    for (const Case& c : cases) {
        for (qint64 length : {qint64(1024), qint64(900)}) {
            makeFile();
            const FileChange change = plan(path(), 0, length, Pattern('n', 1024));
            c.meddle(path());
            const QByteArray meddled = ReadBytes(path());
            const ApplyResult r = ApplyFileChange(sysio::System(), change);
            EXPECT_EQ(r.status, ApplyStatus::Refused) << c.what << " " << length;
            EXPECT_EQ(r.reason, ChangedMeanwhileReason());
            EXPECT_EQ(ReadBytes(path()), meddled) << c.what;
        }
    }
}

TEST_F(SafeWrite, BesideMakesANewFileWithModeAttributesAndHolesKept) {
    // A tag, a 4 MiB hole, then 64 KiB of audio.
    const QByteArray tag = Pattern('o', 1000);
    const QByteArray audio = Pattern('A', 65536);
    {
        const int fd = ::open(path().toUtf8().constData(), O_RDWR | O_CREAT, 0640);
        ASSERT_EQ(::pwrite(fd, tag.constData(), tag.size(), 0), tag.size());
        ASSERT_EQ(::pwrite(fd, audio.constData(), audio.size(), 4 << 20), audio.size());
        ::close(fd);
    }
    ::chmod(path().toUtf8().constData(), 0640);
    const bool xattrs = ::setxattr(path().toUtf8().constData(), "user.note", "v", 1, 0) == 0;
    const QByteArray old = ReadBytes(path());
    const struct stat before = StatOf(path());

    const QByteArray newTag = Pattern('n', 3000);
    // The copy must be on disk before its name replaces the old file's.
    sysio::FaultyIO io;
    int flushedBeforeRename = -1;
    io.before(Call::Rename, 1, [&] { flushedBeforeRename = io.count(Call::Fsync); });
    const ApplyResult r = ApplyFileChange(io, plan(path(), 0, 1000, newTag));
    ASSERT_EQ(r.status, ApplyStatus::Written) << r.reason.toStdString();
    EXPECT_EQ(flushedBeforeRename, 1);

    EXPECT_EQ(ReadBytes(path()), newTag + old.mid(1000));
    const struct stat after = StatOf(path());
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_LT(qint64(after.st_blocks) * 512, 1 << 20);  // the hole stayed a hole
    if (xattrs) {
        EXPECT_EQ(Xattr(path(), "user.note"), QByteArray("v"));
    }
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{QStringLiteral("a.mp3")});
}

// A program that ignores locks writes the file while it is being copied,
// or puts another file at its name: the rename would throw that work away.
TEST_F(SafeWrite, BesideRefusesAFileChangedDuringTheCopy) {
    const std::pair<const char*, std::function<void()>> meddlers[] = {
        {"audio written",
         [this] {
             QFile f(path());
             f.open(QIODevice::ReadWrite);
             f.seek(15000);
             f.write("new audio");
         }},
        {"replaced",
         [this] {
             WriteBytes(path("other"), "another file");
             ::rename(path("other").toUtf8().constData(), path().toUtf8().constData());
         }},
    };
    for (const auto& [what, meddle] : meddlers) {
        makeFile();
        sysio::FaultyIO io;
        io.before(Call::Fsync, 1, meddle);  // the copy is made, not yet renamed
        const ApplyResult r = ApplyFileChange(io, plan(path(), 0, 1000, Pattern('n', 1500)));
        EXPECT_EQ(r.status, ApplyStatus::Refused) << what;
        const QByteArray now = ReadBytes(path());
        EXPECT_TRUE(now.contains("new audio") || now == "another file") << what;
        EXPECT_EQ(FolderEntries(dir.path()), QStringList{QStringLiteral("a.mp3")}) << what;
    }
}

TEST_F(SafeWrite, BesideRefusesToSplitHardLinksUnlessAllowed) {
    const QByteArray old = makeFile();
    ::link(path().toUtf8().constData(), path("b.mp3").toUtf8().constData());
    const ApplyResult refused =
        ApplyFileChange(sysio::System(), plan(path(), 0, 1000, Pattern('n', 1024)));
    EXPECT_EQ(refused.status, ApplyStatus::Refused);
    EXPECT_TRUE(refused.reason.contains(QStringLiteral("硬链接")));
    EXPECT_EQ(ReadBytes(path()), old);

    ApplyOptions allow;
    allow.splitHardLinks = true;
    EXPECT_EQ(
        ApplyFileChange(sysio::System(), plan(path(), 0, 1000, Pattern('n', 1024)), allow).status,
        ApplyStatus::Written);
    EXPECT_EQ(ReadBytes(path("b.mp3")), old);
}

TEST_F(SafeWrite, WithoutCopyFileRangeTheFallbackCopiesEveryByte) {
    const QByteArray old = makeFile();
    sysio::FaultyIO io;
    io.failFrom(Call::CopyFileRange, 1, EXDEV);
    const QByteArray newTag = Pattern('n', 2000);
    const ApplyResult r = ApplyFileChange(io, plan(path(), 0, 1024, newTag));
    ASSERT_EQ(r.status, ApplyStatus::Written);
    EXPECT_EQ(ReadBytes(path()), newTag + old.mid(1024));
    EXPECT_EQ(io.count(Call::CopyFileRange), 1);
    EXPECT_GE(io.count(Call::Pread), 1);
}

// Every call of every kind, failed in turn: the file is its old self or its
// new self, the status says which, and no temporary file is left.
TEST_F(SafeWrite, AFailureAtAnyStepLeavesTheFileOldOrNewAndSaysWhich) {
    for (qint64 oldLength : {qint64(1024), qint64(700)}) {  // in place, beside
        const QByteArray newTag = Pattern('n', 1024);
        sysio::FaultyIO io;
        QByteArray old = makeFile();
        ASSERT_EQ(ApplyFileChange(io, plan(path(), 0, oldLength, newTag)).status,
                  ApplyStatus::Written);
        const auto counts = io.counts();
        int runs = 0;
        for (int kind = 0; kind < sysio::kCallKinds; ++kind) {
            for (int n = 1; n <= counts[kind]; ++n) {
                for (int err : {EIO, ENOSPC}) {
                    old = makeFile();
                    const QByteArray fresh = newTag + old.mid(oldLength);
                    const FileChange change = plan(path(), 0, oldLength, newTag);
                    io.clear();
                    io.fail(Call(kind), n, err);
                    const ApplyResult r = ApplyFileChange(io, change);
                    const QByteArray now = ReadBytes(path());
                    const std::string where = std::string(sysio::CallName(Call(kind))) + " #" +
                                              std::to_string(n) + " length " +
                                              std::to_string(oldLength);
                    EXPECT_TRUE(now == old || now == fresh) << where;
                    if (r.status == ApplyStatus::Written) {
                        EXPECT_EQ(now, fresh) << where;
                    } else {
                        EXPECT_FALSE(r.reason.isEmpty()) << where;
                        if (r.status != ApplyStatus::Uncertain) {
                            EXPECT_EQ(now, old) << where << " " << r.reason.toStdString();
                        }
                    }
                    EXPECT_EQ(FolderEntries(dir.path()), QStringList{QStringLiteral("a.mp3")})
                        << where;
                    ++runs;
                }
            }
        }
        EXPECT_GE(runs, 14);  // seven calls at least, even in place
    }
}

TEST_F(SafeWrite, AShortWriteThenAFailureInPlaceIsUndone) {
    const QByteArray old = makeFile();
    sysio::FaultyIO io;
    io.shortWrite(1, 512);
    io.fail(Call::Pwrite, 2, EIO);
    const ApplyResult r = ApplyFileChange(io, plan(path(), 0, 1024, Pattern('n', 1024)));
    EXPECT_EQ(r.status, ApplyStatus::Failed);
    EXPECT_EQ(ReadBytes(path()), old);

    // When putting the old bytes back fails too, the file is not called unchanged.
    io.clear();
    io.shortWrite(1, 512);
    io.failFrom(Call::Pwrite, 2, EIO);
    EXPECT_EQ(ApplyFileChange(io, plan(path(), 0, 1024, Pattern('n', 1024))).status,
              ApplyStatus::Uncertain);
}

TEST_F(SafeWrite, RenameMakesItsSubFolderAndNeverReplaces) {
    struct Case {
        const char* what;
        std::function<void(sysio::FaultyIO&)> faults;
        bool clash;
        ApplyStatus expected;
        bool moved;
    };
    const Case cases[] = {
        {"plain", [](sysio::FaultyIO&) {}, false, ApplyStatus::Written, true},
        {"target taken", [](sysio::FaultyIO&) {}, true, ApplyStatus::Refused, false},
        {"no RENAME_NOREPLACE: link and unlink",
         [](sysio::FaultyIO& io) { io.fail(Call::RenameNoReplace, 1, EINVAL); }, false,
         ApplyStatus::Written, true},
        {"fallback target taken",
         [](sysio::FaultyIO& io) { io.fail(Call::RenameNoReplace, 1, EINVAL); }, true,
         ApplyStatus::Refused, false},
        {"fallback cannot remove the old name",
         [](sysio::FaultyIO& io) {
             io.fail(Call::RenameNoReplace, 1, ENOSYS);
             io.fail(Call::Unlink, 1, EPERM);
         },
         false, ApplyStatus::Failed, false},
        {"refused", [](sysio::FaultyIO& io) { io.fail(Call::RenameNoReplace, 1, EACCES); }, false,
         ApplyStatus::Failed, false},
    };
    for (const Case& c : cases) {
        QTemporaryDir d;
        const QString from = d.filePath(QStringLiteral("a.mp3"));
        const QString sub = d.filePath(QStringLiteral("Band"));
        const QString to = sub + QStringLiteral("/Song.mp3");
        WriteBytes(from, "song");
        if (c.clash) {
            ::mkdir(sub.toUtf8().constData(), 0755);
            WriteBytes(to, "other");
        }
        const struct stat st = StatOf(from);
        const RenameChange change{
            from, to, c.clash ? QString() : sub, {}, quint64(st.st_dev), quint64(st.st_ino)};
        sysio::FaultyIO io;
        c.faults(io);
        const ApplyResult r = ApplyRename(io, change);
        EXPECT_EQ(r.status, c.expected) << c.what << " " << r.reason.toStdString();
        EXPECT_EQ(QFile::exists(from), !c.moved) << c.what;
        if (c.moved) {
            EXPECT_EQ(ReadBytes(to), QByteArray("song")) << c.what;
        } else if (c.clash) {
            EXPECT_EQ(ReadBytes(to), QByteArray("other")) << c.what;
        } else {
            EXPECT_FALSE(QFile::exists(sub)) << c.what << ": the folder made for it is gone";
        }
    }
}

TEST_F(SafeWrite, RenameRefusesAFileThatIsNoLongerThere) {
    WriteBytes(path(), "x");
    const struct stat st = StatOf(path());
    RenameChange change{path(), path("b.mp3"), {}, {}, quint64(st.st_dev), quint64(st.st_ino)};
    // Kept under another name, so the new file cannot get its inode number.
    ::rename(path().toUtf8().constData(), path("kept").toUtf8().constData());
    WriteBytes(path(), "another");
    EXPECT_EQ(ApplyRename(sysio::System(), change).status, ApplyStatus::Refused);
    ::unlink(path().toUtf8().constData());
    EXPECT_EQ(ApplyRename(sysio::System(), change).status, ApplyStatus::Refused);
    EXPECT_FALSE(QFile::exists(path("b.mp3")));
}

TEST_F(SafeWrite, StrayTemporaryFilesGoUnlessALiveRewriteHoldsThem) {
    makeFile();
    const QByteArray pattern = TempPattern(path());
    EXPECT_TRUE(pattern.endsWith("/.a.mp3.tamberlo-XXXXXX")) << pattern.constData();
    const auto temp = [&](const char* suffix) {
        QByteArray p = pattern;
        p.replace(p.size() - 6, 6, suffix);
        WriteBytes(QString::fromUtf8(p), "partial copy");
        return QString::fromUtf8(p);
    };
    const QString stray1 = temp("abc123");
    const QString stray2 = temp("ZZZZZZ");
    const QString live = temp("live00");
    WriteBytes(path(".b.mp3.tamberlo-abc123"), "another file's");
    WriteBytes(path(".a.mp3.tamberlo-toolong"), "not ours");
    const int holder = ::open(live.toUtf8().constData(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    EXPECT_EQ(RemoveStrayTemps(sysio::System(), path()), 2);
    EXPECT_FALSE(QFile::exists(stray1));
    EXPECT_FALSE(QFile::exists(stray2));
    EXPECT_TRUE(QFile::exists(live));
    EXPECT_TRUE(QFile::exists(path(".b.mp3.tamberlo-abc123")));
    EXPECT_TRUE(QFile::exists(path(".a.mp3.tamberlo-toolong")));
    ::close(holder);
}

TEST_F(SafeWrite, ATemporaryNameStaysWithinTheNameLimit) {
    const QString longName = QString(120, QChar(0x4E2D)) + QStringLiteral(".mp3");  // 364 bytes
    const QByteArray pattern = TempPattern(dir.filePath(longName));
    const QByteArray last = pattern.mid(pattern.lastIndexOf('/') + 1);
    EXPECT_LE(last.size(), 255);
    EXPECT_TRUE(last.startsWith("." + longName.toUtf8().left(200)));
    EXPECT_TRUE(last.endsWith(".tamberlo-XXXXXX"));
}

TEST_F(SafeWrite, OpeningWaitsForAnotherHolderAndFollowsAReplacement) {
    makeFile();
    const int holder = ::open(path().toUtf8().constData(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    // The holder rewrites the file beside and renames it over, then lets go.
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        WriteBytes(path("new"), "replacement");
        ::rename(path("new").toUtf8().constData(), path().toUtf8().constData());
        ::close(holder);
    });
    QElapsedTimer timer;
    timer.start();
    LockedFile f = LockedFile::Open(sysio::System(), path(), O_RDONLY);
    other.join();
    EXPECT_GE(timer.elapsed(), 90);
    EXPECT_EQ(f.identity().inode, quint64(StatOf(path()).st_ino));
    EXPECT_EQ(f.identity().size, 11);
}
