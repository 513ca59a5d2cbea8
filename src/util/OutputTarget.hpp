// Where an output really goes, and the checks that keep an output from destroying anything:
// a symbolic link is followed to the file it finally names (so that the link stays a link),
// a name that exists and is not a regular file (a device, a named pipe, a folder) is
// refused, and so is an output that is one of the run's inputs or another of its outputs.
#pragma once

#include <string>
#include <vector>

namespace conesim {

// Follows path through symbolic links (relative link texts are taken from the link's own
// folder) to the name that is not a link: path itself when it is none, the name a dangling
// link points to when its end does not exist. False (with error naming path) after 40 links.
bool resolveOutputTarget(const std::string& path, std::string& target, std::string& error);

// What an existing name is when it is not a regular file ("a folder", "a named pipe",
// "a character device", "a block device", "a socket", "a special file"); empty for a regular
// file and for a name that does not exist.
std::string nonRegularKind(const std::string& path);

// resolveOutputTarget, then a refusal (false, error naming path and what it is) when the
// name it leads to exists and is not a regular file.
bool usableOutputTarget(const std::string& path, std::string& target, std::string& error);

// True when a and b name one file: the same device and inode when both exist (through links
// and hard links alike), otherwise the same path once links and "." and ".." are resolved.
bool sameFile(const std::string& a, const std::string& b);

// Everything that must hold before any of outputs is written: each is a usable output
// target (usableOutputTarget), none is one of inputs, and no two of them are one file. False with
// error naming the first that fails.
bool checkOutputs(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs,
                  std::string& error);

}  // namespace conesim
