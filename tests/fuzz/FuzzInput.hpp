// Shared piece of the fuzz targets: the readers take file names, so each input is written
// to a scratch file first; console output goes nowhere.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "util/Console.hpp"

namespace conesim::fuzz {

// A file in the temporary directory, named after the process so that parallel fuzzers
// never share one, holding the input while it lives.
class InputFile {
  public:
    InputFile(const std::uint8_t* data, std::size_t size, const char* name)
        : path_("/tmp/conesim-fuzz-" + std::to_string(::getpid()) + "-" + name) {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    ~InputFile() { ::unlink(path_.c_str()); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// A console on string streams, with nothing to read.
struct QuietConsole {
    std::ostringstream out;
    std::istringstream in;
    Console console{out, in};
};

}  // namespace conesim::fuzz
