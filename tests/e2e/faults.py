"""Hostile conditions for the end-to-end cases, made for real.

The case's own process moves into a mount namespace (and, when asked, a network namespace) of
its own, so everything it starts afterwards (the program, its helpers) sees the same mounts and
nothing reaches the machine's: a folder on a small tmpfs filled to the last byte, a folder
bind-mounted read-only, a network with nothing but a loopback, a file whose file system stops
answering half-way (`StalledFile`), a file system that never answers at all (`SilentFileSystem`). `descriptor_limit()` gives a preexec function for a low
RLIMIT_NOFILE. Where a namespace cannot be made the case is skipped with the reason
(harness.Skip).

    with FullTmpfs(folder.path, keep_room={"Debug.log": 64 * 1024}) as disk:
        ...  # the program runs here; disk.free() makes room again

As a command (for scripts and CTest):

    python3 faults.py full-tmpfs FOLDER [--size BYTES] -- COMMAND...
    python3 faults.py read-only FOLDER -- COMMAND...
"""

import argparse
import ctypes
import ctypes.util
import errno
import fcntl
import os
import resource
import select
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import Skip  # noqa: E402

CLONE_NEWNS = 0x00020000
CLONE_NEWUSER = 0x10000000
CLONE_NEWNET = 0x40000000
MS_RDONLY = 1
MS_NOSUID = 2
MS_NODEV = 4
MS_REMOUNT = 32
MS_BIND = 4096
MS_REC = 16384
MS_PRIVATE = 1 << 18
MNT_DETACH = 2
FALLOC_FL_KEEP_SIZE = 1

_libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
_libc.mount.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_ulong,
                        ctypes.c_char_p]
_libc.umount2.argtypes = [ctypes.c_char_p, ctypes.c_int]
_libc.fallocate.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.c_long, ctypes.c_long]
_entered = set()


def _error(what):
    code = ctypes.get_errno()
    return f"{what}: {os.strerror(code)}"


def _write(path, text):
    with open(path, "w") as handle:
        handle.write(text)


def _unshare(flags, what):
    """Moves this process into new namespaces; through a user namespace when not root."""
    if _libc.unshare(flags) == 0:
        return
    first = _error(f"{what} unavailable")
    uid, gid = os.getuid(), os.getgid()
    if "user" in _entered or _libc.unshare(CLONE_NEWUSER | flags) != 0:
        raise Skip(first)
    _entered.add("user")
    try:
        _write("/proc/self/setgroups", "deny")
        _write("/proc/self/uid_map", f"{uid} {uid} 1")
        _write("/proc/self/gid_map", f"{gid} {gid} 1")
    except OSError as error:
        raise Skip(f"cannot map the user into a namespace: {error}")


def enter_mount_namespace():
    """A mount namespace of this process's own, its mounts private; once per process."""
    if "mount" in _entered:
        return
    _unshare(CLONE_NEWNS, "mount namespaces")
    if _libc.mount(None, b"/", None, MS_REC | MS_PRIVATE, None) != 0:
        raise Skip(_error("cannot make the mounts private"))
    _entered.add("mount")


def isolate_network():
    """A network namespace holding only a loopback that is up: fixed ports never meet another
    test's, and nothing leaves the machine. X clients still reach the display through its
    socket file."""
    if "network" in _entered:
        return
    _unshare(CLONE_NEWNET, "network namespaces")
    _entered.add("network")
    SIOCGIFFLAGS, SIOCSIFFLAGS, IFF_UP = 0x8913, 0x8914, 0x1
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        request = struct.pack("16sH22x", b"lo", 0)
        flags = struct.unpack("16sH22x", fcntl.ioctl(probe, SIOCGIFFLAGS, request))[1]
        fcntl.ioctl(probe, SIOCSIFFLAGS, struct.pack("16sH22x", b"lo", flags | IFF_UP))


def _mount(source, target, kind, flags, options):
    encode = lambda text: text.encode() if text is not None else None  # noqa: E731
    if _libc.mount(encode(source), encode(target), encode(kind), flags, encode(options)) != 0:
        raise Skip(_error(f"cannot mount {target}"))


def fill(folder):
    """Writes a filler file into `folder` until its file system refuses another byte (a tmpfs
    gives whole pages, so the last writes go a byte at a time into the filler's last page)."""
    path = os.path.join(folder, ".filler")
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    try:
        size = 1 << 20
        block = bytes(size)
        while size > 0:
            try:
                while os.write(fd, block[:size]) > 0:
                    pass
            except OSError as error:
                if error.errno != errno.ENOSPC:
                    raise
            size //= 2
    finally:
        os.close(fd)
    return path


def reserve(path, size):
    """Gives an existing file `size` bytes of room the fill cannot take (its length unchanged),
    so it can still grow on the full disk: the debug log that has to tell what failed."""
    fd = os.open(path, os.O_WRONLY)
    try:
        if _libc.fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) != 0:
            raise Skip(_error(f"cannot reserve room for {path}"))
    finally:
        os.close(fd)


def free_bytes(folder):
    stat = os.statvfs(folder)
    return stat.f_bavail * stat.f_frsize


class FullTmpfs:
    """`folder` on a tmpfs of `size` bytes holding what it held, then filled to the last byte.
    `keep_room` maps file names in it to bytes reserved for them before the fill."""

    def __init__(self, folder, size=16 << 20, keep_room=None):
        self.folder = os.path.abspath(folder)
        self.size = size
        self.keep_room = keep_room or {}
        self.filler = None

    def __enter__(self):
        enter_mount_namespace()
        with tempfile.TemporaryDirectory(prefix="pulsmir-faults-") as side:
            held = os.path.join(side, "held")
            shutil.copytree(self.folder, held, symlinks=True)
            _mount("pulsmir-faults", self.folder, "tmpfs", MS_NOSUID | MS_NODEV,
                   f"size={self.size},mode=0755")
            shutil.copytree(held, self.folder, symlinks=True, dirs_exist_ok=True)
        for name, room in self.keep_room.items():
            reserve(os.path.join(self.folder, name), room)
        self.filler = fill(self.folder)
        return self

    def free(self):
        """Makes room again (the filler goes)."""
        if self.filler and os.path.exists(self.filler):
            os.remove(self.filler)

    def listing(self):
        """The files in the folder, the filler not counted."""
        return sorted(name for name in os.listdir(self.folder) if name != ".filler")

    def __exit__(self, *exc):
        # What was written there goes with the mount; the folder shows its old contents again.
        _libc.umount2(self.folder.encode(), MNT_DETACH)


class ReadOnlyFolder:
    """`folder` bind-mounted read-only onto itself; the files named in `writable` (the debug log
    that has to tell what failed) stay writable."""

    def __init__(self, folder, writable=()):
        self.folder = os.path.abspath(folder)
        self.writable = [os.path.join(self.folder, name) for name in writable]

    def __enter__(self):
        enter_mount_namespace()
        # Bound onto themselves first, they come along into the folder's mount as mounts of
        # their own, which the read-only remount of the folder leaves as they are.
        for path in self.writable:
            _mount(path, path, None, MS_BIND, None)
        _mount(self.folder, self.folder, None, MS_BIND | MS_REC, None)
        _mount(None, self.folder, None, MS_REMOUNT | MS_BIND | MS_RDONLY, None)
        return self

    def __exit__(self, *exc):
        _libc.umount2(self.folder.encode(), MNT_DETACH)
        for path in self.writable:
            _libc.umount2(path.encode(), MNT_DETACH)


def _mount_fuse(source, folder, options=""):
    """Mounts a FUSE file system of this process's own at `folder`, in a mount namespace of the
    case's own; returns the device descriptor that serves it."""
    enter_mount_namespace()
    try:
        device = os.open("/dev/fuse", os.O_RDWR | os.O_CLOEXEC)
    except OSError as error:
        raise Skip(f"no FUSE device: {error}")
    _mount(source, folder, "fuse", MS_NOSUID | MS_NODEV,
           f"fd={device},rootmode=40000,user_id={os.getuid()},group_id={os.getgid()}" + options)
    return device


class StalledFile:
    """`name` in `folder` on a file system of this process's own (FUSE, served from a thread
    here) that gives the first `answered` bytes of `content` and then stops answering, as a
    network file system whose server went away: a read past them waits in the kernel, where no
    signal reaches it, until `resume()` ends the file system and every read waiting fails."""

    LOOKUP, GETATTR, OPEN, READ, RELEASE, FLUSH, INIT, OPENDIR, RELEASEDIR = (
        1, 3, 14, 15, 18, 25, 26, 27, 29)
    UNANSWERED = {2, 36, 42}  # FORGET, INTERRUPT, BATCH_FORGET
    IN_HEADER = struct.Struct("<IIQQIIIHH")
    OUT_HEADER = struct.Struct("<IiQ")
    ATTR = struct.Struct("<QQQQQQIIIIIIIIII")

    def __init__(self, folder, name, content, answered):
        self.folder = os.path.abspath(folder)
        self.path = os.path.join(self.folder, name)
        self.name = name.encode()
        self.content = content
        self.answered = answered
        self.held = 0  # reads left unanswered
        self.fd = None
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self._serve, daemon=True)

    def __enter__(self):
        os.makedirs(self.folder, exist_ok=True)
        self.fd = _mount_fuse("pulsmir-stalled", self.folder, ",allow_other")
        self.thread.start()
        return self

    def _attr(self, node):
        size = len(self.content) if node == 2 else 0
        mode, links = (0o100644, 1) if node == 2 else (0o40755, 2)
        now = int(time.time())
        return self.ATTR.pack(node, size, (size + 511) // 512, now, now, now, 0, 0, 0, mode,
                              links, os.getuid(), os.getgid(), 0, 4096, 0)

    def _answer(self, opcode, node, body):
        """(error, payload) for a request; None to leave it unanswered."""
        if opcode == self.INIT:
            max_readahead = struct.unpack_from("<I", body, 8)[0]
            return 0, struct.pack("<IIIIHHIIHHI7I", 7, 31, max_readahead, 0, 16, 12, 1 << 17,
                                  1, 32, 0, 0, *[0] * 7)
        if opcode == self.LOOKUP:
            if node != 1 or body.split(b"\0")[0] != self.name:
                return errno.ENOENT, b""
            return 0, struct.pack("<QQQQII", 2, 0, 1, 1, 0, 0) + self._attr(2)
        if opcode == self.GETATTR:
            return 0, struct.pack("<QII", 1, 0, 0) + self._attr(node)
        if opcode in (self.OPEN, self.OPENDIR):
            return 0, struct.pack("<QIi", 1, 1, 0)  # direct I/O: each read comes here
        if opcode == self.READ:
            offset, size = struct.unpack_from("<QI", body, 8)
            if offset < self.answered:
                return 0, self.content[offset:min(offset + size, self.answered)]
            self.held += 1
            return None
        if opcode in (self.RELEASE, self.RELEASEDIR, self.FLUSH):
            return 0, b""
        if opcode in self.UNANSWERED:
            return None
        return errno.ENOSYS, b""

    def _serve(self):
        while not self.stop.is_set():
            if not select.select([self.fd], [], [], 0.05)[0]:
                continue
            try:
                request = os.read(self.fd, (1 << 20) + 4096)
            except OSError as error:
                if error.errno == errno.ENODEV:  # unmounted
                    return
                continue
            length, opcode, unique, node = self.IN_HEADER.unpack_from(request)[:4]
            answer = self._answer(opcode, node, request[self.IN_HEADER.size:length])
            if answer is None:
                continue
            error, payload = answer
            try:
                os.write(self.fd, self.OUT_HEADER.pack(self.OUT_HEADER.size + len(payload),
                                                       -error, unique) + payload)
            except OSError:
                pass  # the request was interrupted meanwhile

    def resume(self):
        """Ends the file system: the reads it holds fail, as at a forced unmount."""
        if self.fd is None:
            return
        self.stop.set()
        self.thread.join()
        os.close(self.fd)  # the last descriptor of the connection aborts it
        self.fd = None
        _libc.umount2(self.folder.encode(), MNT_DETACH)

    def __exit__(self, *exc):
        self.resume()


class SilentFileSystem:
    """A FUSE file system at `folder` whose server never answers, as a network file system whose
    server is gone: every call that reaches it (statvfs of the folder, a look at anything in it)
    waits until the mount goes. The case itself must not touch the folder while it is there."""

    def __init__(self, folder):
        self.folder = os.path.abspath(folder)
        self.device = None

    def __enter__(self):
        self.device = _mount_fuse("pulsmir-silent", self.folder)
        return self

    def __exit__(self, *exc):
        # Closing the device ends the connection: every call still waiting fails at once.
        os.close(self.device)
        _libc.umount2(self.folder.encode(), MNT_DETACH)


def descriptor_limit(count):
    """A preexec function for subprocess: at most `count` open descriptors."""
    def apply():
        resource.setrlimit(resource.RLIMIT_NOFILE, (count, count))
    return apply


class StallingSocket:
    """A Unix socket that answers every request with a reply in the i3/sway IPC framing that
    never ends: `drip` says the reply is 1 MiB long and sends one byte every 0.9 seconds,
    `endless` says it is 2 GiB long and sends it as fast as it is read. Anyone may connect (the program may run as another
    user)."""

    def __init__(self, mode):
        self.mode = mode
        self._folder = tempfile.TemporaryDirectory(prefix="pulsmir-stall-")
        os.chmod(self._folder.name, 0o755)
        self.path = os.path.join(self._folder.name, "ipc.sock")
        self._listener = socket.socket(socket.AF_UNIX)
        self._listener.bind(self.path)
        os.chmod(self.path, 0o777)
        self._listener.listen(16)
        self._closed = threading.Event()
        self.connections = 0
        threading.Thread(target=self._accept, daemon=True).start()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self._closed.set()
        self._listener.close()
        self._folder.cleanup()

    def _accept(self):
        while not self._closed.is_set():
            try:
                client, _ = self._listener.accept()
            except OSError:
                return
            self.connections += 1
            threading.Thread(target=self._serve, args=(client,), daemon=True).start()

    def _serve(self, client):
        with client:
            try:
                client.recv(4096)  # the request
                length = 1 << 20 if self.mode == "drip" else 0x7fffffff
                reply = b"i3-ipc" + struct.pack("=II", length, 7)
                if self.mode == "drip":
                    while not self._closed.is_set():
                        client.sendall(reply[:1])
                        reply = reply[1:] or b" "
                        self._closed.wait(0.9)
                else:
                    client.sendall(reply)
                    while not self._closed.is_set():
                        client.sendall(b" " * 65536)
            except OSError:
                pass


def main():
    parser = argparse.ArgumentParser(description="runs a command under a hostile condition")
    parser.add_argument("condition", choices=["full-tmpfs", "read-only"])
    parser.add_argument("folder")
    parser.add_argument("--size", type=int, default=16 << 20, help="tmpfs size in bytes")
    argv = sys.argv[1:]
    if "--" not in argv:
        parser.error("no command after --")
    split = argv.index("--")
    args = parser.parse_args(argv[:split])
    command = argv[split + 1:]
    if not command:
        parser.error("no command")
    try:
        if args.condition == "full-tmpfs":
            context = FullTmpfs(args.folder, size=args.size)
        else:
            context = ReadOnlyFolder(args.folder)
        with context:
            return subprocess.run(command).returncode
    except Skip as skip:
        print(f"SKIPPED: {skip}", file=sys.stderr)
        return 77


if __name__ == "__main__":
    sys.exit(main())
