// Assigns the collected parameter texts to the record's fields, one position after the
// other, and remembers the first text that cannot be converted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace conesim {

class ValueAssigner {
  public:
    explicit ValueAssigner(const std::vector<std::string>& values) : values_(values) {}

    void integer(std::int32_t& field);
    // A signed reading stored with its 32-bit pattern, so -1 becomes 4294967295.
    void unsignedInteger(std::uint32_t& field);
    void real(float& field);
    // A real truncated toward zero.
    void truncatedReal(std::int32_t& field);
    // 0 for 0, 1 for any other integer.
    void flag(bool& field);
    void text(std::string& field);

    bool failed() const { return !problem_.empty(); }
    // "value N ("TEXT") is ..." for the first failing position.
    const std::string& problem() const { return problem_; }

  private:
    const std::string& next();
    void fail(const std::string& reason);

    const std::vector<std::string>& values_;
    std::size_t position_ = 0;  //!< index of the value taken last, plus one
    std::string problem_;
};

}  // namespace conesim
