// The core on this machine's own /proc: plausible values, and traffic it causes shows up.
#include "core/PerfCore.h"
#include "core/PerfTitles.h"
#include "doubles/RecordingDialogs.h"
#include "platform/linux/ProcPerfDataSource.h"
#include "platform/linux/ProcSystemInfo.h"

#include <QDir>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/vfs.h>
#include <thread>
#include <unistd.h>

namespace {

// File systems whose reads never reach a local disk.
bool WithoutLocalDisk(long type)
{
    for (long memoryOrRemote :
         {0x01021994L /* tmpfs */, 0x858458F6L /* ramfs */, 0x6969L /* nfs */, 0x01021997L /* 9p */,
          0x65735546L /* fuse */, 0xFF534D42L /* cifs */, 0x6A656A63L /* virtiofs */})
        if (type == memoryOrRemote)
            return true;
    return false;
}

class LiveCore : public ::testing::Test
{
protected:
    void SetUp() override { TPerfInfo::ResetLocales(); }

    ProcPerfDataSource source;
    ProcSystemInfo system;
    RecordingDialogs dialogs;
};

} // namespace

TEST_F(LiveCore, ValuesStayInTheirRanges)
{
    TPerfCore core({source, system, dialogs}, TaggedLog());
    ASSERT_GE(core.CpuCount, 1);
    ASSERT_TRUE(core.StartMonitor());
    EXPECT_FALSE(core.CpuFromNtdll());
    for (int i = 0; i < 4; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_TRUE(core.CollectSample());
        // Processor times move in clock ticks while the interval is wall-clock time, so a
        // processor's load may stray by a tick's share of the interval; it is not clamped.
        for (std::int32_t usage : core.CpuUsage) {
            EXPECT_GE(usage, -4);
            EXPECT_LE(usage, 104);
        }
        EXPECT_LE(core.MemoryLoad, 100u);
        EXPECT_GT(core.MemoryLoad, 0u);
        EXPECT_LE(core.SwapLoad, 100u);
    }
    TCpuUsage usage(system, nullptr);
    ASSERT_TRUE(usage.UsesNtDll());
    usage.GetUsage();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_LE(usage.GetUsage(), 100);
}

TEST_F(LiveCore, LoopbackTrafficShowsInTheNetworkRates)
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    socklen_t length = sizeof(address);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);

    TPerfCore core({source, system, dialogs}, TaggedLog());
    core.SetTargetNic("lo");
    ASSERT_TRUE(core.StartMonitor());
    ASSERT_TRUE(core.CollectSample());

    constexpr size_t Total = 8u << 20;
    const int client = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    const int server = accept(listener, nullptr, nullptr);
    ASSERT_GE(server, 0);
    std::thread reader([server] {
        std::vector<char> buffer(65536);
        size_t received = 0;
        while (received < Total) {
            const ssize_t n = read(server, buffer.data(), buffer.size());
            if (n <= 0)
                break;
            received += static_cast<size_t>(n);
        }
    });
    std::vector<char> chunk(65536, 'x');
    for (size_t sent = 0; sent < Total;) {
        const ssize_t n = write(client, chunk.data(), std::min(chunk.size(), Total - sent));
        if (n <= 0)
            break;
        sent += static_cast<size_t>(n);
    }
    reader.join();
    close(client);
    close(server);
    close(listener);

    ASSERT_TRUE(core.CollectSample());
    EXPECT_GE(core.NetRecvBytes, Total);
    EXPECT_GE(core.NetSendBytes, Total);
    EXPECT_TRUE(core.NetActive);
}

TEST_F(LiveCore, ReadingAFileFromDiskShowsInTheDiskRates)
{
    // A file in the working folder, which normally lies on a local disk.
    QTemporaryDir dir(QDir::currentPath() + "/live-disk-XXXXXX");
    ASSERT_TRUE(dir.isValid());
    struct statfs fs
    {
    };
    ASSERT_EQ(statfs(dir.path().toLocal8Bit().constData(), &fs), 0);
    if (WithoutLocalDisk(static_cast<long>(fs.f_type)))
        GTEST_SKIP() << "the working folder is not on a local disk";

    constexpr size_t Total = 32u << 20;
    const QByteArray path = (dir.path() + "/burst").toLocal8Bit();
    {
        const int fd = open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        std::vector<char> chunk(1 << 20, 'p');
        for (size_t written = 0; written < Total; written += chunk.size())
            ASSERT_EQ(write(fd, chunk.data(), chunk.size()), ssize_t(chunk.size()));
        ASSERT_EQ(fsync(fd), 0);
        ASSERT_EQ(posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED), 0);
        close(fd);
    }

    TPerfCore core({source, system, dialogs}, TaggedLog());
    ASSERT_TRUE(core.StartMonitor());
    ASSERT_TRUE(core.CollectSample());

    int fd = open(path.constData(), O_RDONLY | O_DIRECT);
    if (fd < 0) // O_DIRECT refused by the file system: the page cache was dropped above
        fd = open(path.constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    constexpr size_t Block = 1 << 20;
    std::unique_ptr<char, decltype(&std::free)> buffer(
        static_cast<char*>(std::aligned_alloc(4096, Block)), &std::free);
    size_t total = 0;
    for (ssize_t n; (n = read(fd, buffer.get(), Block)) > 0;)
        total += static_cast<size_t>(n);
    close(fd);
    ASSERT_EQ(total, Total);

    ASSERT_TRUE(core.CollectSample());
    EXPECT_GE(core.DiskReadBytes, Total / 2);
    EXPECT_TRUE(core.DiskReadActive);
}
