#include "util/OutputTarget.hpp"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace conesim {

namespace fs = std::filesystem;

namespace {

// As many links as the system itself follows before it gives up (ELOOP).
constexpr int kMostLinks = 40;

fs::path lexicallyResolved(const std::string& path) {
    std::error_code code;
    fs::path absolute = fs::absolute(path, code);
    if (code) {
        absolute = path;
    }
    fs::path resolved = fs::weakly_canonical(absolute, code);
    return code ? absolute.lexically_normal() : resolved;
}

}  // namespace

bool resolveOutputTarget(const std::string& path, std::string& target, std::string& error) {
    fs::path current = path;
    for (int links = 0; links <= kMostLinks; ++links) {
        std::error_code code;
        const fs::file_status status = fs::symlink_status(current, code);
        if (code || !fs::is_symlink(status)) {
            target = current.string();
            return true;
        }
        const fs::path next = fs::read_symlink(current, code);
        if (code) {
            error = "cannot follow the link " + current.string() + ": " + code.message();
            return false;
        }
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    error = "cannot write " + path + ": too many levels of symbolic links";
    return false;
}

std::string nonRegularKind(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) {
        return "";
    }
    if (S_ISDIR(info.st_mode)) {
        return "a folder";
    }
    if (S_ISFIFO(info.st_mode)) {
        return "a named pipe";
    }
    if (S_ISCHR(info.st_mode)) {
        return "a character device";
    }
    if (S_ISBLK(info.st_mode)) {
        return "a block device";
    }
    if (S_ISSOCK(info.st_mode)) {
        return "a socket";
    }
    return "a special file";
}

bool usableOutputTarget(const std::string& path, std::string& target, std::string& error) {
    if (!resolveOutputTarget(path, target, error)) {
        return false;
    }
    const std::string kind = nonRegularKind(target);
    if (!kind.empty()) {
        error = "refusing to write " + path + ": " +
                (target == path ? "it is " : "its link leads to " + target + ", ") + kind +
                ", not a regular file";
        return false;
    }
    return true;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    const bool firstExists = ::stat(a.c_str(), &first) == 0;
    const bool secondExists = ::stat(b.c_str(), &second) == 0;
    if (firstExists && secondExists) {
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    }
    if (firstExists != secondExists) {
        return false;
    }
    return lexicallyResolved(a) == lexicallyResolved(b);
}

bool checkOutputs(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs,
                  std::string& error) {
    std::vector<std::string> targets;
    for (const std::string& output : outputs) {
        std::string target;
        if (!usableOutputTarget(output, target, error)) {
            return false;
        }
        for (const std::string& input : inputs) {
            if (sameFile(target, input)) {
                error = "refusing to write " + output + ": it is " +
                        (input == output ? "also an input" : "the same file as the input " + input);
                return false;
            }
        }
        for (std::size_t i = 0; i < targets.size(); ++i) {
            if (sameFile(target, targets[i])) {
                error = "refusing to write " + output + ": it is the same file as the output " +
                        outputs[i];
                return false;
            }
        }
        targets.push_back(target);
    }
    return true;
}

}  // namespace conesim
