// A preloaded library (LD_PRELOAD) that brings faults into the file operations of a program
// under one directory, so tests can run the real executable unchanged. Driven by the
// environment:
//
//   TW_FAULT_DIR=/path      only files under this directory are touched (required)
//   TW_FAULT_TRACE=file     appends one line per operation under the directory:
//                           "create|write|rename|link|unlink <path>"
//   TW_FAULT_KILL_AT=n      SIGKILL at the n-th operation (from 1): before a create, rename,
//                           link or unlink; in the middle of a write (half the bytes are
//                           written first)
//   TW_FAULT_SPACE=bytes    a disk with that much room: writes beyond it are short, then fail
//                           with ENOSPC
//   TW_FAULT_READONLY=1     a read-only file system: creating, writing, renaming, linking
//                           and unlinking fail with EROFS
//   TW_FAULT_NO_TMPFILE=1   a file system without unnamed temporary files (O_TMPFILE fails
//                           with EOPNOTSUPP, as on many network shares)
//
// Operations are what the C library offers the program: open*, write, writev, pwrite*,
// rename*, link*, unlink*.

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

struct Config {
    bool loaded = false;
    std::string dir; // with a trailing '/'
    std::string trace;
    long killAt = 0;
    long long space = -1;
    bool readOnly = false;
    bool noTmpfile = false;
};

Config &config()
{
    static Config c;
    if (!c.loaded) {
        c.loaded = true;
        if (const char *d = std::getenv("TW_FAULT_DIR"); d && *d) {
            c.dir = d;
            if (c.dir.back() != '/')
                c.dir += '/';
        }
        if (const char *t = std::getenv("TW_FAULT_TRACE"))
            c.trace = t;
        if (const char *k = std::getenv("TW_FAULT_KILL_AT"))
            c.killAt = std::atol(k);
        if (const char *s = std::getenv("TW_FAULT_SPACE"))
            c.space = std::atoll(s);
        if (const char *r = std::getenv("TW_FAULT_READONLY"))
            c.readOnly = *r == '1';
        if (const char *t = std::getenv("TW_FAULT_NO_TMPFILE"))
            c.noTmpfile = *t == '1';
    }
    return c;
}

std::atomic<long> g_operations{0};
std::atomic<long long> g_written{0};

template <class F>
F real(const char *name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// Raw system calls for the shim's own needs, so it never sees itself.
ssize_t rawWrite(int fd, const void *buf, size_t n)
{
    return ssize_t(syscall(SYS_write, fd, buf, n));
}

std::string fdPath(int fd)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t n = readlink(link, target, sizeof target - 1);
    return n > 0 ? std::string(target, size_t(n)) : std::string();
}

std::string absolute(int dirfd, const char *path)
{
    if (!path)
        return {};
    if (path[0] == '/')
        return path;
    std::string base;
    if (dirfd == AT_FDCWD) {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd))
            base = cwd;
    } else {
        base = fdPath(dirfd);
    }
    return base + '/' + path;
}

bool underDir(const std::string &path)
{
    const Config &c = config();
    if (c.dir.empty())
        return false;
    // The directory itself too: an unnamed temporary file is opened on it.
    return path.compare(0, c.dir.size(), c.dir) == 0 || path == c.dir.substr(0, c.dir.size() - 1);
}

// Counts an operation on a path under the directory; true when it is the one to kill at.
bool operation(const char *kind, const std::string &path)
{
    const Config &c = config();
    const long n = ++g_operations;
    if (!c.trace.empty()) {
        const int fd = int(syscall(SYS_open, c.trace.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
        if (fd >= 0) {
            const std::string line = std::string(kind) + ' ' + path + '\n';
            rawWrite(fd, line.data(), line.size());
            syscall(SYS_close, fd);
        }
    }
    return c.killAt > 0 && n == c.killAt;
}

[[noreturn]] void die()
{
    kill(getpid(), SIGKILL);
    for (;;)
        pause();
}

bool creates(int flags)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE || (flags & O_TRUNC);
}

// The common part of every open: false with errno set when the open must fail.
bool beforeOpen(int dirfd, const char *path, int flags)
{
    if (!creates(flags) && (flags & O_ACCMODE) == O_RDONLY)
        return true;
    const std::string full = absolute(dirfd, path);
    if (!underDir(full))
        return true;
    if ((flags & O_TMPFILE) == O_TMPFILE && config().noTmpfile) {
        errno = EOPNOTSUPP;
        return false;
    }
    if (operation("create", full))
        die();
    if (config().readOnly) {
        errno = EROFS;
        return false;
    }
    return true;
}

// How many of n bytes a write to fd may write; -1 with errno set when none.
ssize_t allowedWrite(int fd, size_t n, bool *killAfter)
{
    *killAfter = false;
    const std::string path = fdPath(fd);
    if (!underDir(path))
        return ssize_t(n);
    if (operation("write", path)) {
        *killAfter = true;
        return ssize_t(n / 2);
    }
    const Config &c = config();
    if (c.readOnly) {
        errno = EROFS;
        return -1;
    }
    if (c.space >= 0) {
        const long long room = c.space - g_written;
        if (room <= 0) {
            errno = ENOSPC;
            return -1;
        }
        if ((long long)n > room)
            return ssize_t(room);
    }
    return ssize_t(n);
}

void wrote(ssize_t n, bool killAfter)
{
    if (n > 0)
        g_written += n;
    if (killAfter)
        die();
}

// The common part of rename and link: false with errno set when it must fail.
bool beforeNewName(const char *kind, int newdirfd, const char *newpath)
{
    const std::string full = absolute(newdirfd, newpath);
    if (!underDir(full))
        return true;
    if (operation(kind, full))
        die();
    if (config().readOnly) {
        errno = EROFS;
        return false;
    }
    return true;
}

mode_t modeArg(int flags, va_list ap)
{
    return creates(flags) ? mode_t(va_arg(ap, int)) : 0;
}

} // namespace

extern "C" {

#define TW_OPEN(name)                                                                                      \
    int name(const char *path, int flags, ...)                                                             \
    {                                                                                                      \
        va_list ap;                                                                                        \
        va_start(ap, flags);                                                                               \
        const mode_t mode = modeArg(flags, ap);                                                            \
        va_end(ap);                                                                                        \
        if (!beforeOpen(AT_FDCWD, path, flags))                                                            \
            return -1;                                                                                     \
        static auto next = real<int (*)(const char *, int, ...)>(#name);                                   \
        return next(path, flags, mode);                                                                    \
    }
TW_OPEN(open)
TW_OPEN(open64)

#define TW_OPENAT(name)                                                                                    \
    int name(int dirfd, const char *path, int flags, ...)                                                  \
    {                                                                                                      \
        va_list ap;                                                                                        \
        va_start(ap, flags);                                                                               \
        const mode_t mode = modeArg(flags, ap);                                                            \
        va_end(ap);                                                                                        \
        if (!beforeOpen(dirfd, path, flags))                                                               \
            return -1;                                                                                     \
        static auto next = real<int (*)(int, const char *, int, ...)>(#name);                              \
        return next(dirfd, path, flags, mode);                                                             \
    }
TW_OPENAT(openat)
TW_OPENAT(openat64)

ssize_t write(int fd, const void *buf, size_t n)
{
    static auto next = real<ssize_t (*)(int, const void *, size_t)>("write");
    bool killAfter = false;
    const ssize_t allowed = allowedWrite(fd, n, &killAfter);
    if (allowed < 0)
        return -1;
    const ssize_t done = allowed > 0 || n == 0 ? next(fd, buf, size_t(allowed)) : 0;
    wrote(done, killAfter);
    return done;
}

#define TW_PWRITE(name)                                                                                    \
    ssize_t name(int fd, const void *buf, size_t n, off_t offset)                                          \
    {                                                                                                      \
        static auto next = real<ssize_t (*)(int, const void *, size_t, off_t)>(#name);                     \
        bool killAfter = false;                                                                            \
        const ssize_t allowed = allowedWrite(fd, n, &killAfter);                                           \
        if (allowed < 0)                                                                                   \
            return -1;                                                                                     \
        const ssize_t done = allowed > 0 || n == 0 ? next(fd, buf, size_t(allowed), offset) : 0;           \
        wrote(done, killAfter);                                                                            \
        return done;                                                                                       \
    }
TW_PWRITE(pwrite)
TW_PWRITE(pwrite64)

ssize_t writev(int fd, const struct iovec *iov, int count)
{
    // Rare in the program's files: written piece by piece through write().
    ssize_t total = 0;
    for (int i = 0; i < count; ++i) {
        const ssize_t n = write(fd, iov[i].iov_base, iov[i].iov_len);
        if (n < 0)
            return total > 0 ? total : -1;
        total += n;
        if (size_t(n) < iov[i].iov_len)
            break;
    }
    return total;
}

int rename(const char *oldpath, const char *newpath)
{
    if (!beforeNewName("rename", AT_FDCWD, newpath))
        return -1;
    static auto next = real<int (*)(const char *, const char *)>("rename");
    return next(oldpath, newpath);
}

int renameat(int olddirfd, const char *oldpath, int newdirfd, const char *newpath)
{
    if (!beforeNewName("rename", newdirfd, newpath))
        return -1;
    static auto next = real<int (*)(int, const char *, int, const char *)>("renameat");
    return next(olddirfd, oldpath, newdirfd, newpath);
}

int renameat2(int olddirfd, const char *oldpath, int newdirfd, const char *newpath, unsigned flags)
{
    if (!beforeNewName("rename", newdirfd, newpath))
        return -1;
    static auto next = real<int (*)(int, const char *, int, const char *, unsigned)>("renameat2");
    return next(olddirfd, oldpath, newdirfd, newpath, flags);
}

int link(const char *oldpath, const char *newpath)
{
    if (!beforeNewName("link", AT_FDCWD, newpath))
        return -1;
    static auto next = real<int (*)(const char *, const char *)>("link");
    return next(oldpath, newpath);
}

int linkat(int olddirfd, const char *oldpath, int newdirfd, const char *newpath, int flags)
{
    if (!beforeNewName("link", newdirfd, newpath))
        return -1;
    static auto next = real<int (*)(int, const char *, int, const char *, int)>("linkat");
    return next(olddirfd, oldpath, newdirfd, newpath, flags);
}

int unlink(const char *path)
{
    if (!beforeNewName("unlink", AT_FDCWD, path))
        return -1;
    static auto next = real<int (*)(const char *)>("unlink");
    return next(path);
}

int unlinkat(int dirfd, const char *path, int flags)
{
    if (!beforeNewName("unlink", dirfd, path))
        return -1;
    static auto next = real<int (*)(int, const char *, int)>("unlinkat");
    return next(dirfd, path, flags);
}

} // extern "C"
