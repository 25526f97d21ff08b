#!/usr/bin/env python3
"""A FUSE file system for tests: the root holds one directory, "slow", whose
listing, like the free space of the whole file system, does not answer until
the file named by the second argument exists, as a share on a dead network
would. Everything else answers at once.

    blocking_fs.py MOUNTPOINT RELEASE_FILE
"""
import errno
import os
import stat
import sys
import time

from fusepy import FUSE, FuseOSError, Operations  # Debian's python3-fusepy


class Blocking(Operations):
    def __init__(self, release):
        self.release = release
        self.started = time.time()

    def getattr(self, path, fh=None):
        if path in ("/", "/slow"):
            t = self.started
            return dict(st_mode=stat.S_IFDIR | 0o755, st_nlink=2, st_uid=os.getuid(),
                        st_gid=os.getgid(), st_ctime=t, st_mtime=t, st_atime=t)
        raise FuseOSError(errno.ENOENT)

    def hang(self):
        while not os.path.exists(self.release):
            time.sleep(0.05)

    def readdir(self, path, fh):
        if path == "/slow":
            self.hang()
            return [".", "..", "late.txt"]
        return [".", "..", "slow"]

    def statfs(self, path):
        self.hang()
        return dict(f_bsize=4096, f_frsize=4096, f_blocks=1000, f_bfree=500, f_bavail=500)


if __name__ == "__main__":
    FUSE(Blocking(sys.argv[2]), sys.argv[1], foreground=True, nothreads=False)
