// The safe write: a hidden temporary beside the target, renamed over it once
// complete. Temporaries in progress are noted in a small fixed table that a
// signal handler can walk without allocating, so an interrupted program
// leaves none behind.
#include "toolkit/safe_write.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int symlink_hop_limit = 40;
constexpr int name_attempts = 100;
constexpr std::size_t longest_stem = 200;  // keeps a temporary's name within one component's 255 bytes

// A slot is free, being filled, or names a temporary to remove.
enum slot_state : int { slot_free, slot_filling, slot_in_use };
constexpr int pending_slots = 16;

struct pending_temporary {
    std::atomic<int> state;
    char path[PATH_MAX];  // absolute, so a change of folder cannot misdirect the removal
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slots");
// Zero at load: filled in at start-up, these slots would cost every run a
// page written each.
constinit pending_temporary own_pending[pending_slots] = {};
pending_temporary* pending = own_pending;  // this process's slots

// With workers: every process's slots in one shared mapping, part by part.
pending_temporary* shared_pending = nullptr;
int shared_parts = 0;

std::string absolute(const std::string& name)
{
    if (name.empty() || name[0] == '/')
        return name;
    char here[PATH_MAX];
    return getcwd(here, sizeof here) ? std::string(here) + "/" + name : name;
}

// Notes a temporary about to exist; the slot number, or -1 with errno.
int pending_add(const std::string& name)
{
    const std::string path = absolute(name);
    if (path.size() >= PATH_MAX) {
        errno = ENAMETOOLONG;
        return -1;
    }
    for (int i = 0; i < pending_slots; i++) {
        int expected = slot_free;
        if (pending[i].state.compare_exchange_strong(expected, slot_filling)) {
            std::memcpy(pending[i].path, path.c_str(), path.size() + 1);
            pending[i].state.store(slot_in_use);
            return i;
        }
    }
    errno = EMFILE;
    return -1;
}

void pending_drop(int slot)
{
    if (slot >= 0)
        pending[slot].state.store(slot_free);
}

// SIGINT and SIGTERM held off while a temporary is made and noted, so that
// it is never made without being noted.
struct interruptions_held {
    sigset_t before;
    interruptions_held()
    {
        sigset_t held;
        sigemptyset(&held);
        sigaddset(&held, SIGINT);
        sigaddset(&held, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &held, &before);
    }
    ~interruptions_held() { pthread_sigmask(SIG_SETMASK, &before, nullptr); }
    interruptions_held(const interruptions_held&) = delete;
    interruptions_held& operator=(const interruptions_held&) = delete;
};

// Where a write goes: the target name, whether it is written in place (a
// device or a pipe), and the permission bits of the regular file it replaces.
struct destination {
    std::string target;
    bool in_place = false;
    int mode = -1;
};

// Follows links as rule says to the name that gets the new file; false
// with errno when there is none.
bool find_destination(const std::string& path, link_rule rule, destination* found)
{
    if (path.empty() || path.back() == '/') {
        errno = path.empty() ? ENOENT : EISDIR;
        return false;
    }
    std::string current = path;
    for (int hop = 0; hop < symlink_hop_limit; hop++) {
        struct stat info;
        if (lstat(current.c_str(), &info) != 0) {
            if (errno != ENOENT)
                return false;
            found->target = current;
            return true;
        }
        if (S_ISLNK(info.st_mode) && rule == link_rule::follow) {
            char next[PATH_MAX];
            const ssize_t length = readlink(current.c_str(), next, sizeof next);
            if (length < 0)
                return false;
            if (std::size_t(length) >= sizeof next || length == 0) {
                errno = length == 0 ? ENOENT : ENAMETOOLONG;
                return false;
            }
            const std::string link(next, std::size_t(length));
            const std::size_t slash = current.rfind('/');
            current = link[0] == '/' || slash == std::string::npos ? link : current.substr(0, slash + 1) + link;
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            errno = EISDIR;
            return false;
        }
        found->target = current;
        found->in_place = !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode);
        found->mode = S_ISREG(info.st_mode) ? int(info.st_mode & 07777) : -1;
        return true;
    }
    errno = ELOOP;
    return false;
}

// A fresh hidden name in the target's folder. The process number goes into
// the draw, so that workers forked with one random state draw apart.
std::string temporary_name(const std::string& target)
{
    // The kernel's random bits, not a library's generator: the programs
    // that only write files (the solver's workers) link no toolkit at all.
    std::uint64_t bits = 0;
    if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != ssize_t(sizeof bits)) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        bits = std::uint64_t(now.tv_sec) * 1000000007u ^ std::uint64_t(now.tv_nsec);
    }
    bits ^= std::uint64_t(getpid()) * 2654435761u;
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const std::size_t slash = target.rfind('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    std::string name = target.substr(0, base) + "." + target.substr(base, longest_stem) + ".";
    for (int i = 0; i < 6; i++, bits /= sizeof letters - 1)
        name += letters[bits % (sizeof letters - 1)];
    return name;
}

char* copy_of(const std::string& text)
{
    return strdup(text.c_str());
}

// Makes a new file at exactly name, noted as pending; its descriptor, or
// -1 with errno (EEXIST when the name is taken).
int create_new(const std::string& name, safe_write* file)
{
    interruptions_held held;
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    file->pending_slot = pending_add(name);
    if (file->pending_slot < 0) {
        const int reason = errno;
        close(fd);
        unlink(name.c_str());
        errno = reason;
        return -1;
    }
    file->temporary = copy_of(name);
    return fd;
}

int create_temporary(const destination& to, safe_write* file)
{
    for (int attempt = 0; attempt < name_attempts; attempt++) {
        const int fd = create_new(temporary_name(to.target), file);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

bool open_stream(safe_write* file, int fd)
{
    file->stream = fd < 0 ? nullptr : fdopen(fd, "wb");
    if (file->stream)
        return true;
    file->error = errno;
    if (fd >= 0)
        close(fd);
    safe_write_abandon(file);
    return false;
}

void release(safe_write* file)
{
    pending_drop(file->pending_slot);
    file->pending_slot = -1;
    std::free(file->target);
    std::free(file->temporary);
    file->target = file->temporary = nullptr;
}

// Puts a replaced file's bytes on the disk before the rename, so a crash
// right after it cannot leave an empty file where the old one was.
int sync_to_disk(const char* name)
{
    const int fd = open(name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = fsync(fd) == 0 ? 0 : errno;
    close(fd);
    return error;
}

void remove_pending_and_end(int signal)
{
    safe_write_remove_pending();
    // The handler was reset on entry, so the signal now ends the process.
    raise(signal);
}

}  // namespace

int (*safe_write_close_stream)(std::FILE* stream) = std::fclose;

bool safe_write_open(safe_write* file, const std::string& path, link_rule rule)
{
    *file = {nullptr, nullptr, nullptr, -1, -1, 0};
    destination to;
    int fd = -1;
    if (find_destination(path, rule, &to)) {
        if (to.in_place)
            fd = open(to.target.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
        else
            fd = create_temporary(to, file);
    }
    if (fd >= 0 && to.mode >= 0)
        fchmod(fd, mode_t(to.mode));
    if (!open_stream(file, fd))
        return false;
    file->target = copy_of(to.target);
    file->mode = to.mode;
    return true;
}

bool safe_write_create(safe_write* file, const std::string& path)
{
    *file = {nullptr, nullptr, nullptr, -1, -1, 0};
    return open_stream(file, create_new(path, file));
}

bool safe_write_commit(safe_write* file)
{
    int error = 0;
    if (std::ferror(file->stream))
        error = file->error ? file->error : EIO;
    else if (std::fflush(file->stream) != 0)
        error = errno;
    else if (file->temporary && file->mode >= 0 && fsync(fileno(file->stream)) != 0)
        error = errno;
    if (safe_write_close_stream(file->stream) != 0 && !error)
        error = errno;
    file->stream = nullptr;
    if (!error && file->temporary && file->target && rename(file->temporary, file->target) != 0)
        error = errno;
    if (error) {
        file->error = error;
        safe_write_abandon(file);
        return false;
    }
    release(file);
    return true;
}

void safe_write_abandon(safe_write* file)
{
    const int reason = file->error ? file->error : errno;
    if (file->stream)
        std::fclose(file->stream);
    file->stream = nullptr;
    if (file->temporary)
        unlink(file->temporary);
    release(file);
    file->error = reason;
    errno = reason;
}

bool safe_write_by_name(const std::string& path, link_rule rule,
                        int (*make)(const char* name, bool must_create, void* context), void* context, int* error)
{
    *error = 0;
    destination to;
    if (!find_destination(path, rule, &to)) {
        *error = errno;
        return false;
    }
    if (to.in_place) {
        errno = 0;
        const bool made = make(to.target.c_str(), false, context);
        *error = made ? 0 : errno;
        return made;
    }
    for (int attempt = 0; attempt < name_attempts; attempt++) {
        const std::string name = temporary_name(to.target);
        const int slot = pending_add(name);
        if (slot < 0) {
            *error = errno;
            return false;
        }
        errno = 0;
        bool done = make(name.c_str(), true, context);
        *error = done ? 0 : errno;
        if (*error == EEXIST) {
            pending_drop(slot);  // someone else's file: never ours to remove
            continue;
        }
        if (done && to.mode >= 0) {
            chmod(name.c_str(), mode_t(to.mode));
            *error = sync_to_disk(name.c_str());
            done = *error == 0;
        }
        if (done && rename(name.c_str(), to.target.c_str()) != 0) {
            *error = errno;
            done = false;
        }
        if (!done)
            unlink(name.c_str());  // the name was free, so anything there is the writer's
        pending_drop(slot);
        return done;
    }
    *error = EEXIST;
    return false;
}

void safe_write_remove_pending()
{
    for (int i = 0; i < pending_slots; i++)
        if (pending[i].state.load() == slot_in_use)
            unlink(pending[i].path);
}

bool safe_write_share_pending(int parts)
{
    if (parts < 1 || shared_pending)
        return false;
    void* table = mmap(nullptr, sizeof(pending_temporary) * pending_slots * std::size_t(parts), PROT_READ | PROT_WRITE,
                       MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (table == MAP_FAILED)
        return false;
    // Fresh anonymous memory is zero, which is slot_free everywhere.
    shared_pending = static_cast<pending_temporary*>(table);
    shared_parts = parts;
    interruptions_held held;
    for (int i = 0; i < pending_slots; i++) {
        if (own_pending[i].state.load() != slot_in_use)
            continue;
        std::memcpy(shared_pending[i].path, own_pending[i].path, sizeof own_pending[i].path);
        shared_pending[i].state.store(slot_in_use);
    }
    pending = shared_pending;
    return true;
}

void safe_write_take_pending_part(int part)
{
    if (shared_pending && part >= 0 && part < shared_parts)
        pending = shared_pending + std::ptrdiff_t(part) * pending_slots;
}

void safe_write_remove_pending_part(int part)
{
    if (!shared_pending || part < 0 || part >= shared_parts)
        return;
    pending_temporary* slots = shared_pending + std::ptrdiff_t(part) * pending_slots;
    for (int i = 0; i < pending_slots; i++)
        if (slots[i].state.load() == slot_in_use) {
            unlink(slots[i].path);
            slots[i].state.store(slot_free);
        }
}

void safe_write_remove_on_signals()
{
    for (int signal : {SIGINT, SIGTERM}) {
        struct sigaction action {};
        // A signal the program was started to ignore stays ignored.
        if (sigaction(signal, nullptr, &action) != 0 || action.sa_handler == SIG_IGN)
            continue;
        action = {};
        action.sa_handler = remove_pending_and_end;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        sigaction(signal, &action, nullptr);
    }
}
