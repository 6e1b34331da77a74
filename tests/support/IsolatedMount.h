#pragma once

#include "support/IsolatedChild.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

// Runs a piece of a test in a child process inside a mount namespace of its own, where a
// folder sits on a small tmpfs (optionally filled to the last byte) or is mounted read-only.
// Nothing done there reaches the machine's own mounts, and everything goes with the child.
// Without a Folder it is only a child process of its own (for limits and ids set there).
class IsolatedMount
{
public:
    std::string Folder;            // an existing folder; what it holds is hidden by the tmpfs
    long TmpfsBytes = 0;           // > 0: a tmpfs of this size on Folder
    bool FillUp = false;           // write a filler file until the tmpfs has no byte left
    bool ReadOnly = false;         // Folder read-only (after Prepare and FillUp)
    std::function<void()> Prepare; // puts the starting files in place before the fill
    std::string WhyNot;            // set when no namespace could be made; the test then skips

    template <typename T> std::optional<T> Run(const std::function<T()>& body)
    {
        return RunInIsolatedChild<T>([this] { return Enter(); }, body, WhyNot);
    }

    // Writes into `folder` until its file system refuses another byte. A tmpfs hands out whole
    // pages, so the last writes go a byte at a time into the filler's last page.
    static bool Fill(const std::string& folder)
    {
        const std::string path = folder + "/.filler";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        static char block[65536];
        for (size_t size = sizeof block; size > 0; size /= 2) {
            ssize_t n = 0;
            while ((n = ::write(fd, block, size)) > 0) {
            }
            if (n < 0 && errno != ENOSPC) {
                ::close(fd);
                return false;
            }
        }
        return ::close(fd) == 0;
    }

private:
    std::string Enter() const
    {
        if (Folder.empty())
            return {};
        // Root may make a mount namespace directly; others through a user namespace.
        if (::unshare(CLONE_NEWNS) != 0) {
            const uid_t uid = ::getuid();
            const gid_t gid = ::getgid();
            if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
                return std::string("mount namespaces unavailable: ") + std::strerror(errno);
            // The same ids inside, so the files made there belong to the user as usual.
            if (!WriteProcSetting("/proc/self/setgroups", "deny") ||
                !WriteProcSetting("/proc/self/uid_map",
                           std::to_string(uid) + " " + std::to_string(uid) + " 1") ||
                !WriteProcSetting("/proc/self/gid_map",
                           std::to_string(gid) + " " + std::to_string(gid) + " 1"))
                return "cannot map the user into the namespace";
        }
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("cannot make the mounts private: ") + std::strerror(errno);
        if (TmpfsBytes > 0) {
            const std::string options = "size=" + std::to_string(TmpfsBytes) + ",mode=0755";
            if (::mount("pulsmir-test", Folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                        options.c_str()) != 0)
                return std::string("cannot mount a tmpfs: ") + std::strerror(errno);
        }
        if (Prepare)
            Prepare();
        if (FillUp && !Fill(Folder))
            return "cannot fill the tmpfs";
        if (ReadOnly &&
            (::mount(Folder.c_str(), Folder.c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0 ||
             ::mount(nullptr, Folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) !=
                 0))
            return std::string("cannot mount the folder read-only: ") + std::strerror(errno);
        return {};
    }
};
