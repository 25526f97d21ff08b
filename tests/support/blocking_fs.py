#!/usr/bin/env python3
"""A FUSE file system for tests: the root holds one directory, "slow", whose
listing, like the free space of the whole file system, does not answer until
the file named by the second argument exists, as a share on a dead network
would. Everything else answers at once: "slow" holds an empty file of each
further name given, which can be looked up and removed without waiting.

    blocking_fs.py MOUNTPOINT RELEASE_FILE [NAME...]
"""
import errno
import os
import stat
import sys
import time

from fusepy import FUSE, FuseOSError, Operations  # Debian's python3-fusepy


class Blocking(Operations):
    def __init__(self, release, names):
        self.release = release
        self.started = time.time()
        self.names = set(names)

    def getattr(self, path, fh=None):
        t = self.started
        owner = dict(st_uid=os.getuid(), st_gid=os.getgid(), st_ctime=t, st_mtime=t, st_atime=t)
        if path in ("/", "/slow"):
            return dict(st_mode=stat.S_IFDIR | 0o755, st_nlink=2, **owner)
        if path.startswith("/slow/") and path[6:] in self.names:
            return dict(st_mode=stat.S_IFREG | 0o644, st_nlink=1, st_size=0, **owner)
        raise FuseOSError(errno.ENOENT)

    def hang(self):
        while not os.path.exists(self.release):
            time.sleep(0.05)

    def readdir(self, path, fh):
        if path == "/slow":
            self.hang()
            return [".", "..", "late.txt"] + sorted(self.names)
        return [".", "..", "slow"]

    def unlink(self, path):
        if not (path.startswith("/slow/") and path[6:] in self.names):
            raise FuseOSError(errno.ENOENT)
        self.names.discard(path[6:])

    def statfs(self, path):
        self.hang()
        return dict(f_bsize=4096, f_frsize=4096, f_blocks=1000, f_bfree=500, f_bavail=500)


if __name__ == "__main__":
    FUSE(Blocking(sys.argv[2], sys.argv[3:]), sys.argv[1], foreground=True, nothreads=False)
