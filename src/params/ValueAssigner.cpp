#include "params/ValueAssigner.hpp"

#include <cmath>

#include "params/TextConversion.hpp"

namespace conesim {

namespace {

const char* kNotANumber = "is not a number";
const char* kIntegerRange = "is outside the range of a 32-bit signed integer";
const char* kRealRange = "is outside the single-precision range";

}  // namespace

const std::string& ValueAssigner::next() {
    return values_.at(position_++);
}

void ValueAssigner::fail(const std::string& reason) {
    if (problem_.empty()) {
        problem_ = "value " + std::to_string(position_) + " (\"" + values_[position_ - 1] + "\") " +
                   reason;
    }
}

void ValueAssigner::integer(std::int32_t& field) {
    NumberReading reading = readInt(next(), field);
    if (reading == NumberReading::kNotANumber) {
        fail(kNotANumber);
    } else if (reading == NumberReading::kOutOfRange) {
        fail(kIntegerRange);
    }
}

void ValueAssigner::unsignedInteger(std::uint32_t& field) {
    std::int32_t value = 0;
    integer(value);
    field = static_cast<std::uint32_t>(value);
}

void ValueAssigner::real(float& field) {
    NumberReading reading = readFloat(next(), field);
    if (reading == NumberReading::kNotANumber) {
        fail(kNotANumber);
    } else if (reading == NumberReading::kOutOfRange) {
        fail(kRealRange);
    }
}

void ValueAssigner::truncatedReal(std::int32_t& field) {
    float value = 0.0F;
    real(value);
    const double truncated = std::trunc(static_cast<double>(value));
    if (truncated < -2147483648.0 || truncated > 2147483647.0) {
        fail(kIntegerRange);
        return;
    }
    field = static_cast<std::int32_t>(truncated);
}

void ValueAssigner::flag(bool& field) {
    std::int32_t value = 0;
    integer(value);
    field = value != 0;
}

void ValueAssigner::text(std::string& field) {
    field = next();
}

}  // namespace conesim
