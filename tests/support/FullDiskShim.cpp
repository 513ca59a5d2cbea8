// Loaded into the built program (LD_PRELOAD) by the tests that need writes to fail as on a
// full disk, now that no temporary name can be made a link to /dev/full: every write to a
// file named in CONESIM_FULL_FILES (names separated by ':', matched at the end of the file's
// path, a ".partial-<process id>" ending ignored) fails with ENOSPC from its first byte, as
// /dev/full refuses every byte. Every other write goes through unchanged.
#include <dlfcn.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The file's path without its temporary ending(s).
std::string pathWithoutTemporaryEnding(std::string path) {
    const std::string mark = ".partial-";
    for (;;) {
        const std::size_t at = path.rfind(mark);
        const std::size_t digits = at == std::string::npos ? 0 : at + mark.size();
        if (at == std::string::npos || digits == path.size() ||
            path.find_first_not_of("0123456789", digits) != std::string::npos) {
            return path;
        }
        path.resize(at);
    }
}

bool onFullDisk(int fd) {
    const char* names = std::getenv("CONESIM_FULL_FILES");
    if (names == nullptr || fd < 0) {
        return false;
    }
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t length = ::readlink(link, target, sizeof target);
    if (length <= 0) {
        return false;
    }
    const std::string path =
        pathWithoutTemporaryEnding(std::string(target, static_cast<std::size_t>(length)));
    const std::string list(names);
    for (std::size_t start = 0; start <= list.size();) {
        std::size_t end = list.find(':', start);
        end = end == std::string::npos ? list.size() : end;
        const std::string name = "/" + list.substr(start, end - start);
        if (name.size() > 1 && path.size() >= name.size() &&
            path.compare(path.size() - name.size(), name.size(), name) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" ssize_t write(int fd, const void* data, std::size_t size) {
    static const auto real = next<ssize_t (*)(int, const void*, std::size_t)>("write");
    if (onFullDisk(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return real(fd, data, size);
}

extern "C" ssize_t writev(int fd, const struct iovec* parts, int count) {
    static const auto real = next<ssize_t (*)(int, const struct iovec*, int)>("writev");
    if (onFullDisk(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return real(fd, parts, count);
}
