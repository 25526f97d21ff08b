#pragma once
// The user's own temporary directory, $TMPDIR/km-<uid> (mode 0700): listing
// files and local copies of remote files go there, never under a fixed name
// in a directory other users can write. Each run of the program works in its
// own folder there, removed when the run ends, so nothing of one run is
// found (or opened by mistake) by the next.
#include <ctime>
#include <string>
#include <sys/types.h>

namespace km {

// This run's folder, $TMPDIR/km-<uid>/run-<pid>-<start time>, made when
// missing; the first time, leftovers of ended runs are swept first (see
// SweepPrivateTemp). Empty (with errno set) when it cannot be made or the
// directory above is not this user's alone.
std::string PrivateTempDir();

// A new empty file there, "<stem>-XXXXXX" with a unique tail, so that two
// listings at once (or two tests) never share a listing or list file.
// Empty when it cannot be made.
std::string PrivateTempFile(const std::string& stem);

// Removes the folders this run made, with everything in them. For the end of
// the run; a later PrivateTempDir makes a fresh one.
void RemovePrivateRunDir();

// "run-<pid>-<start>" for a running process (its start time since boot, from
// /proc), so a pid used again by a later process names another folder.
// Empty when no such process runs.
std::string RunFolderName(pid_t pid);

// Removes from `root` what earlier runs left that was last changed before
// `olderThan`: run folders of processes that no longer run, and anything
// else but a run folder. Folders of running processes stay, however old.
void SweepPrivateTemp(const std::string& root, time_t olderThan);

} // namespace km
