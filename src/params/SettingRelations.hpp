// The checks that relate two positional settings, and the order in which the validation
// runs every check. Each setting's own range is its entry's in the parameter table.
#pragma once

#include <array>

namespace conesim {

enum class RelationKind {
    kAfter,      //!< setting `first` lies at or beyond setting `second` along the beam
    kWithinOne,  //!< a window `first` and its offset `second` add up to at most 1
};

struct SettingRelation {
    int fault;  //!< the fault code it shares with the settings' own ranges
    RelationKind kind;
    int first;  //!< positional setting numbers
    int second;
};

inline constexpr std::array<SettingRelation, 7> kSettingRelations = {{
    {4, RelationKind::kAfter, 9, 2},
    {12, RelationKind::kAfter, 22, 9},
    {19, RelationKind::kAfter, 27, 22},
    {33, RelationKind::kWithinOne, 5, 6},
    {34, RelationKind::kWithinOne, 7, 8},
    {35, RelationKind::kWithinOne, 34, 35},
    {36, RelationKind::kWithinOne, 36, 37},
}};

// The fault codes in the order their checks run: when several fail, the last one's code is
// the record's fault.
inline constexpr std::array<int, 28> kFaultCheckOrder = {1,  2,  3,  4,  5,  6,  7,  9,  10, 31,
                                                         33, 34, 11, 12, 13, 17, 18, 19, 20, 21,
                                                         24, 25, 35, 36, 26, 27, 28, 29};

}  // namespace conesim
