#include "store/sysio.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QSet>
#include <QTemporaryDir>
#include <thread>
#include <vector>

#include "store/faultyio.h"
#include "support/fixtures.h"

using sysio::Call;
using sysio::FaultyIO;

namespace {

class FaultyIOTest : public ::testing::Test {
  protected:
    QByteArray path(const char* name) const { return dir.filePath(name).toUtf8(); }
    int openFile(sysio::SysIO& io, const char* name) {
        return io.open(path(name).constData(), O_RDWR | O_CREAT, 0644);
    }
    QTemporaryDir dir;
    FaultyIO io;
};

}  // namespace

TEST(SysIOCalls, EveryKindHasItsOwnName) {
    QSet<QByteArray> names;
    for (int i = 0; i < sysio::kCallKinds; ++i) {
        const QByteArray name = sysio::CallName(Call(i));
        EXPECT_NE(name, "?") << i;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), sysio::kCallKinds);
}

TEST_F(FaultyIOTest, FailsExactlyTheNthCallOfAKind) {
    const int fd = openFile(io, "a");
    ASSERT_GE(fd, 0);
    io.fail(Call::Pwrite, 2, ENOSPC);
    EXPECT_EQ(io.pwrite(fd, "a", 1, 0), 1);
    errno = 0;
    EXPECT_EQ(io.pwrite(fd, "b", 1, 1), -1);
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_EQ(io.pwrite(fd, "c", 1, 1), 1);
    EXPECT_EQ(io.count(Call::Pwrite), 3);
    EXPECT_EQ(io.count(Call::Open), 1);
    io.close(fd);
    EXPECT_EQ(ReadBytes(dir.filePath("a")), QByteArray("ac"));  // the failed call wrote nothing
}

TEST_F(FaultyIOTest, FailFromKeepsFailingLikeAFullDisk) {
    const int fd = openFile(io, "a");
    io.failFrom(Call::Fsync, 2, EIO);
    EXPECT_EQ(io.fsync(fd), 0);
    EXPECT_EQ(io.fsync(fd), -1);
    EXPECT_EQ(io.fsync(fd), -1);
    EXPECT_EQ(errno, EIO);
    io.close(fd);
}

TEST_F(FaultyIOTest, AShortWriteIsCompletedByWriteAllOrTornByTheNextFailure) {
    const int fd = openFile(io, "a");
    io.shortWrite(1, 3);
    EXPECT_EQ(sysio::WriteAll(io, fd, "abcdef", 6, 0), 0);
    EXPECT_EQ(io.count(Call::Pwrite), 2);

    io.clear();
    io.shortWrite(1, 2);
    io.fail(Call::Pwrite, 2, ENOSPC);
    EXPECT_EQ(sysio::WriteAll(io, fd, "XYZW", 4, 0), ENOSPC);
    io.close(fd);
    EXPECT_EQ(ReadBytes(dir.filePath("a")), QByteArray("XYcdef"));
}

TEST_F(FaultyIOTest, ACrashStopsTheRunAndNothingReachesTheDiskAfterIt) {
    const int fd = openFile(io, "a");
    io.crashAt(Call::Pwrite, 2);
    EXPECT_EQ(io.pwrite(fd, "a", 1, 0), 1);
    EXPECT_THROW(io.pwrite(fd, "b", 1, 1), sysio::SimulatedCrash);
    EXPECT_EQ(io.pwrite(fd, "c", 1, 1), -1);
    EXPECT_EQ(io.unlink(path("a").constData()), -1);
    // A close still closes: the descriptor is free again.
    EXPECT_EQ(io.close(fd), -1);
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
    EXPECT_EQ(ReadBytes(dir.filePath("a")), QByteArray("a"));
}

TEST_F(FaultyIOTest, CrashAtChangeCountsOnlyCallsThatChangeFiles) {
    const int fd = openFile(io, "a");
    struct stat st;
    io.crashAtChange(2);
    io.fstat(fd, &st);
    io.pwrite(fd, "a", 1, 0);  // change 1
    io.fstat(fd, &st);
    io.fdatasync(fd);
    EXPECT_THROW(io.ftruncate(fd, 0), sysio::SimulatedCrash);  // change 2
    EXPECT_EQ(io.changes(), 2);
    io.close(fd);
}

TEST_F(FaultyIOTest, CountsAreExactAcrossThreads) {
    const int fd = openFile(io, "a");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            struct stat st;
            for (int i = 0; i < 500; ++i) io.fstat(fd, &st);
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(io.count(Call::Fstat), 2000);
    io.close(fd);
}

TEST_F(FaultyIOTest, TheRealSeamBehavesAsTheSystemCalls) {
    sysio::SysIO& real = sysio::System();
    const int fd = openFile(real, "b");
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::fcntl(fd, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    EXPECT_EQ(sysio::WriteAll(real, fd, "hello", 5, 10), 0);
    char buffer[32];
    EXPECT_EQ(sysio::ReadAll(real, fd, buffer, sizeof buffer, 10), 5);
    EXPECT_EQ(sysio::ReadAll(real, fd, buffer, sizeof buffer, 100), 0);
    errno = 0;
    EXPECT_EQ(real.renameat2(AT_FDCWD, path("b").constData(), AT_FDCWD, path("b").constData(),
                             RENAME_NOREPLACE),
              -1);
    EXPECT_EQ(errno, EEXIST);
    sysio::File file(real, fd);
    EXPECT_EQ(file.close(), 0);
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
}
