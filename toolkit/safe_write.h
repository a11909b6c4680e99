// Writing a file so that it appears whole or not at all, for every file the
// programs write. The bytes go to a hidden temporary file beside the target,
// which is renamed over the target only after every write, flush and close
// has succeeded; any failure removes the temporary and leaves the old file
// as it was. Devices and pipes cannot be renamed over, so they are written
// in place and never removed. Folders are not this module's business.
#pragma once

#include <cstdio>
#include <string>

// What a symbolic link at the target name means.
enum class link_rule {
    replace,  // a name the program owns: the link itself is replaced, nothing is written through it
    follow,   // a name the user chose: the file the link names is replaced and the link stays
};

// One write in progress. Plain data, so that a writer which long-jumps (the
// JPEG library's error exit) may keep it in its own state; every
// safe_write_open is ended by exactly one commit or abandon.
struct safe_write {
    std::FILE* stream;  // where the bytes go
    char* target;       // the name the finished file gets (behind a followed link), or null to keep the name
    char* temporary;    // the hidden file being written; null when the target is written in place
    int pending_slot;   // its entry in the table of pending temporaries, or -1
    int mode;           // the replaced file's permission bits, or -1 for a new file (0666 less the umask)
    int error;          // errno of the first failure, kept for the message
};

// Starts a write to path: finds the file it names under rule and opens a
// fresh temporary beside it, or the device itself. False with the reason in
// file->error (and errno); nothing is left to end then.
bool safe_write_open(safe_write* file, const std::string& path, link_rule rule);

// Starts writing a new file at exactly path, for a writer handed a
// temporary name by safe_write_by_name: fails with EEXIST when the name is
// taken, never writes into a file it did not make. Commit closes it without
// a rename; abandon removes it.
bool safe_write_create(safe_write* file, const std::string& path);

// Flushes and closes the stream, then renames the temporary over the target
// (an existing file's bytes reach the disk first). False with the reason in
// file->error and errno; the temporary is removed and the target untouched.
bool safe_write_commit(safe_write* file);

// How commit closes a finished stream: std::fclose. Tests put a close that
// fails here, as an NFS server or a full quota fails one.
extern int (*safe_write_close_stream)(std::FILE* stream);

// Gives the write up: closes the stream and removes the temporary. errno is
// kept as it was, unless file->error holds an earlier reason.
void safe_write_abandon(safe_write* file);

// The same safe write for a writer that creates its file itself by name
// (an image plugin): make(name, must_create, context) writes the file and
// returns nonzero on success; with must_create it must fail with EEXIST when
// the name is taken, and a fresh name is drawn. False with the errno in
// *error, 0 when the writer failed without one.
bool safe_write_by_name(const std::string& path, link_rule rule,
                        int (*make)(const char* name, bool must_create, void* context), void* context, int* error);

// Removes every temporary file this process is writing (its own part of a
// shared table). Only calls that are
// safe in a signal handler, so a SIGINT or SIGTERM handler may call it.
void safe_write_remove_pending();

// For a program whose forked workers write files: moves the table of pending
// temporaries into memory shared with the processes forked after this call,
// in parts, of which this process keeps part 0. A worker takes a part of its
// own right after the fork, so that a worker killed outright (SIGKILL) leaves
// its temporaries where the parent can remove them, and the other way round.
// False when the memory cannot be had; the table then stays private.
bool safe_write_share_pending(int parts);
void safe_write_take_pending_part(int part);
// Removes the temporaries noted in one part, whoever wrote them; safe in a
// signal handler.
void safe_write_remove_pending_part(int part);

// Installs SIGINT and SIGTERM handlers that remove the pending temporaries,
// then let the signal end the process as it would have.
void safe_write_remove_on_signals();
