#include "util/NewFile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace conesim {
namespace {

std::string reasonFor(const std::string& path, int number) {
    return "cannot create " + path + ": " + std::strerror(number);
}

}  // namespace

int openNewFile(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int number = errno;
        error = reasonFor(path, number);
        errno = number;
    }
    return fd;
}

bool createNewFile(const std::string& path, std::string& error) {
    int fd = openNewFile(path, error);
    if (fd < 0 && errno == EEXIST) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
            error = "cannot create " + path + ": it is a folder";
            return false;
        }
        // Only the name goes; a link's target and a hard link's other names stay untouched.
        ::unlink(path.c_str());
        fd = openNewFile(path, error);
    }
    if (fd < 0) {
        return false;
    }
    return ::close(fd) == 0;
}

}  // namespace conesim
