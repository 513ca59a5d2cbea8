// The one table of the parameter file's settings: for each, its position, field name, kind,
// unit, meaning, accepted range, fault code, default and the field of the record it fills.
// The reader assigns the values through it, the tools explain and edit files with it, and a
// test holds the README's tables to it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "params/ExtensionSettings.hpp"
#include "params/SimulationParameters.hpp"

namespace conesim {

// How a value's text becomes the field's value.
enum class ParameterKind {
    kInteger,          //!< 32-bit signed integer read from the start of the value
    kUnsignedInteger,  //!< read as a signed integer, stored with its 32-bit pattern
    kReal,             //!< a real (single precision for positional settings)
    kTruncatedReal,    //!< read as a real, truncated toward zero to an integer
    kFlag,             //!< 0 for 0, 1 for any other integer
    kText,             //!< the value text as it stands (paths, names)
    kWord,             //!< one word out of a fixed list (extension settings)
    kMaterial,         //!< "COMPOUND:DENSITY", a compound xraylib knows (extension settings)
};

// The field a setting fills: a member of the record, or of its extension settings.
using ParameterField =
    std::variant<std::int32_t SimulationParameters::*, std::uint32_t SimulationParameters::*,
                 float SimulationParameters::*, bool SimulationParameters::*,
                 std::string SimulationParameters::*, double ExtensionSettings::*,
                 PhotonEnergyMode ExtensionSettings::*, DeflectionModel ExtensionSettings::*,
                 std::string ExtensionSettings::*, bool ExtensionSettings::*>;

// Whether a field is a member of the extension settings rather than of the record itself.
template <typename Member>
struct FieldOwner;
template <typename Value, typename Owner>
struct FieldOwner<Value Owner::*> {
    using type = Owner;
};
template <typename Member>
inline constexpr bool kExtensionField =
    std::is_same_v<typename FieldOwner<Member>::type, ExtensionSettings>;

// The check a positional setting's own value must pass, between minimum and maximum; a value
// that fails it makes the entry's fault code. Checks that relate several settings (the planes'
// order along the beam, a window and its offset within one pixel) are the validation's.
enum class RangeRule {
    kNone,       //!< any value loads
    kBetween,    //!< minimum <= value <= maximum
    kAboveZero,  //!< 0 < value <= maximum
    kAtMost,     //!< value <= maximum (a negative size, read as unsigned, lies above it)
    kOneOf,      //!< a whole number from minimum to maximum, as the range text lists them
};

struct ParameterInfo {
    int number;                         //!< position 1..48 in the file; 0 for an extension setting
    std::string_view name;              //!< the field name, as the README writes it
    ParameterKind kind;                 //!< how the value text is read
    std::string_view unit;              //!< "length", "pixels", "keV" ...; empty when none
    std::string_view meaning;           //!< one line saying what the setting does
    std::string_view range;             //!< accepted values as text; empty when any value loads
    int fault;                          //!< fault code of the range check; 0 when there is none
    std::string_view defaultText;       //!< the record's default, as a value text
    std::string_view exampleText;       //!< a sensible value; all of them together validate
    bool affectsSamplePlanes;           //!< changes the planes a run mode 3/4 computes
    ParameterField field;               //!< the field the value fills
    double minimum = 0.0;               //!< lowest accepted value (reals and positional numbers)
    double maximum = 0.0;               //!< highest accepted value
    RangeRule rule = RangeRule::kNone;  //!< how a positional value is held to the bounds

    bool isExtension() const { return number == 0; }
};

// The 48 positional settings, in file order (entry i has number i + 1).
std::span<const ParameterInfo> parameterTable();
// The settings given by name after the END line.
std::span<const ParameterInfo> extensionTable();
// A positional or extension setting by field name; nullptr if unknown.
const ParameterInfo* findParameter(std::string_view name);
// A positional setting by its number 1..48; nullptr otherwise.
const ParameterInfo* findParameter(int number);

// A positional number's value in the record, widened exactly to double precision (flags 0
// or 1); 0 for a text.
double numericValue(const SimulationParameters& parameters, const ParameterInfo& info);
// Whether a positional setting's own value passes its entry's range rule.
bool withinRange(const ParameterInfo& info, double value);

// The words a kWord setting accepts, in the order of its enumeration.
std::span<const std::string_view> parameterWords(const ParameterInfo& info);

// The field's value in the record as text: integers in decimal, reals as a default-formatted
// stream writes them (six significant digits), flags 0 or 1, words as written in a file.
std::string fieldText(const SimulationParameters& parameters, const ParameterInfo& info);

// The word of a deflection model as a parameter file writes it ("auto", "interface", "phase").
std::string_view deflectionModelWord(DeflectionModel model);

}  // namespace conesim
