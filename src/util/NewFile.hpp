// Creation of files under names that others can predict (the temporary ".partial-<process
// id>" names, a sweep's parameter copies): the file is made new, never opened through a
// symbolic link or over an existing file, so that a link planted under the name cannot
// redirect the write into another file.
#pragma once

#include <string>

namespace conesim {

// Opens path for writing as a file that did not exist (O_CREAT | O_EXCL | O_NOFOLLOW);
// returns the descriptor, or -1 with error naming path and the system's reason. Whatever
// stands under the name already (a link included) makes it fail with EEXIST in errno.
int openNewFile(const std::string& path, std::string& error);

// Creates path as a new, empty regular file for a writer that opens it again. A name that
// exists and is not a folder (a stale temporary of an earlier process with this process id,
// or a link planted there) is removed first: removing a name never touches what a link
// leads to. False with error when the name is a folder or the file cannot be created.
bool createNewFile(const std::string& path, std::string& error);

}  // namespace conesim
