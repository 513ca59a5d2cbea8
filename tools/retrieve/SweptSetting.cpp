#include "retrieve/SweptSetting.hpp"

namespace conesim::tools {

bool sweptSettingAxis(std::string_view name, SweptSetting& setting) {
    struct Entry {
        std::string_view name;
        SweptSetting setting;
    };
    static constexpr Entry kEntries[] = {
        {"detectorLrOffset", {false, 1.0}},
        {"detectorUdOffset", {true, 1.0}},
        {"apertureLrOffset", {false, -1.0}},
        {"apertureUdOffset", {true, -1.0}},
    };
    for (const Entry& entry : kEntries) {
        if (entry.name == name) {
            setting = entry.setting;
            return true;
        }
    }
    return false;
}

std::string_view sweptSettingNames() {
    return "apertureLrOffset, apertureUdOffset, detectorLrOffset, detectorUdOffset";
}

}  // namespace conesim::tools
