// Assigns the collected parameter texts to the record's fields, one position after the
// other as the parameter table orders them, and remembers the first text that cannot be
// converted and every number that had characters after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "params/ParameterFileScan.hpp"
#include "params/ParameterTable.hpp"

namespace conesim {

// Converts an extension setting's value text into its field; false with the reason (as the
// reader words it after the setting: "is not a number") otherwise.
bool assignExtension(const ParameterInfo& info, const std::string& value,
                     ExtensionSettings& extensions, std::string& reason);

class ValueAssigner {
  public:
    explicit ValueAssigner(const std::vector<ScannedValue>& values) : values_(values) {}

    // Converts the next value by the setting's kind into its field of the record.
    void assign(SimulationParameters& parameters, const ParameterInfo& info);
    // Takes the next value as it stands (the END checkword).
    void text(std::string& field);

    bool failed() const { return !problem_.empty(); }
    // "value N ("TEXT") is ..." for the first failing position.
    const std::string& problem() const { return problem_; }
    // "value N (NAME) "TEXT" has characters after its number; it is read as V", in order.
    const std::vector<std::string>& trailingTextNotes() const { return notes_; }

  private:
    const std::string& next();
    void fail(const std::string& reason);
    // Each returns whether text followed the number.
    bool integer(std::int32_t& field);
    bool unsignedInteger(std::uint32_t& field);
    bool real(float& field);
    bool truncatedReal(std::int32_t& field);
    bool flag(bool& field);

    const std::vector<ScannedValue>& values_;
    std::size_t position_ = 0;  //!< index of the value taken last, plus one
    std::string problem_;
    std::vector<std::string> notes_;
};

}  // namespace conesim
