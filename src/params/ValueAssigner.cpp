#include "params/ValueAssigner.hpp"

#include <cmath>

#include "params/TextConversion.hpp"

namespace conesim {

namespace {

const char* kNotANumber = "is not a number";
const std::string kIntegerRange = std::string("is outside ") + kIntegerRangeText;
const std::string kRealRange = std::string("is outside ") + kFloatRangeText;

}  // namespace

const std::string& ValueAssigner::next() {
    return values_.at(position_++).text;
}

void ValueAssigner::fail(const std::string& reason) {
    if (problem_.empty()) {
        problem_ = "value " + std::to_string(position_) + " (\"" + values_[position_ - 1].text +
                   "\") " + reason;
    }
}

bool ValueAssigner::integer(std::int32_t& field) {
    bool trailing = false;
    const NumberReading reading = readInt(next(), field, &trailing);
    if (reading == NumberReading::kNotANumber) {
        fail(kNotANumber);
    } else if (reading == NumberReading::kOutOfRange) {
        fail(kIntegerRange);
    }
    return reading == NumberReading::kOk && trailing;
}

bool ValueAssigner::unsignedInteger(std::uint32_t& field) {
    std::int32_t value = 0;
    const bool trailing = integer(value);
    field = static_cast<std::uint32_t>(value);
    return trailing;
}

bool ValueAssigner::real(float& field) {
    bool trailing = false;
    const NumberReading reading = readFloat(next(), field, &trailing);
    if (reading == NumberReading::kNotANumber) {
        fail(kNotANumber);
    } else if (reading == NumberReading::kOutOfRange) {
        fail(kRealRange);
    }
    return reading == NumberReading::kOk && trailing;
}

bool ValueAssigner::truncatedReal(std::int32_t& field) {
    float value = 0.0F;
    const bool trailing = real(value);
    const double truncated = std::trunc(static_cast<double>(value));
    if (truncated < -2147483648.0 || truncated > 2147483647.0) {
        fail(kIntegerRange);
        return false;
    }
    field = static_cast<std::int32_t>(truncated);
    return trailing;
}

bool ValueAssigner::flag(bool& field) {
    std::int32_t value = 0;
    const bool trailing = integer(value);
    field = value != 0;
    return trailing;
}

void ValueAssigner::text(std::string& field) {
    field = next();
}

void ValueAssigner::assign(SimulationParameters& parameters, const ParameterInfo& info) {
    bool trailing = false;
    switch (info.kind) {
        case ParameterKind::kInteger:
            trailing =
                integer(parameters.*std::get<std::int32_t SimulationParameters::*>(info.field));
            break;
        case ParameterKind::kUnsignedInteger:
            trailing = unsignedInteger(parameters.*
                                       std::get<std::uint32_t SimulationParameters::*>(info.field));
            break;
        case ParameterKind::kReal:
            trailing = real(parameters.*std::get<float SimulationParameters::*>(info.field));
            break;
        case ParameterKind::kTruncatedReal:
            trailing = truncatedReal(parameters.*
                                     std::get<std::int32_t SimulationParameters::*>(info.field));
            break;
        case ParameterKind::kFlag:
            trailing = flag(parameters.*std::get<bool SimulationParameters::*>(info.field));
            break;
        case ParameterKind::kText:
        case ParameterKind::kWord:
        case ParameterKind::kMaterial:
            text(parameters.*std::get<std::string SimulationParameters::*>(info.field));
            break;
    }
    if (trailing && !failed()) {
        notes_.push_back("value " + std::to_string(position_) + " (" + std::string(info.name) +
                         ") \"" + values_[position_ - 1].text +
                         "\" has characters after its number; it is read as " +
                         fieldText(parameters, info));
    }
}

}  // namespace conesim
