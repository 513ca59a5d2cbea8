#include "retrieve/SweptSetting.hpp"

namespace conesim::tools {

bool sweptSettingAxis(std::string_view name, SweptSetting& setting) {
    struct Entry {
        std::string_view name;
        SweptSetting setting;
    };
    static constexpr Entry kEntries[] = {
        {"detectorLrOffset", {false, 1.0, false}},  {"detectorUdOffset", {true, 1.0, false}},
        {"apertureLrOffset", {false, -1.0, false}}, {"apertureUdOffset", {true, -1.0, false}},
        {"preMaskShiftX", {false, -1.0, true}},     {"preMaskShiftY", {true, -1.0, true}},
    };
    for (const Entry& entry : kEntries) {
        if (entry.name == name) {
            setting = entry.setting;
            return true;
        }
    }
    return false;
}

double sweptPixelsPerUnit(const SweptSetting& setting, double detectorDistance, double maskDistance,
                          double pixelSize) {
    if (!setting.throughPreMask) {
        return setting.direction;
    }
    if (!(maskDistance > 0.0) || !(pixelSize > 0.0)) {
        return 0.0;
    }
    return setting.direction * detectorDistance / maskDistance / pixelSize;
}

std::string_view sweptSettingNames() {
    return "apertureLrOffset, apertureUdOffset, detectorLrOffset, detectorUdOffset, "
           "preMaskShiftX, preMaskShiftY";
}

}  // namespace conesim::tools
