#include "params/ParameterRecordBytes.hpp"

#include <variant>

#include "params/ParameterTable.hpp"

namespace conesim {
namespace {

// Applies visit(value) to every field of the record, in one fixed order.
template <typename Record, typename Visit>
void forEachField(Record& p, Visit&& visit) {
    for (auto table : {parameterTable(), extensionTable()}) {
        for (const ParameterInfo& info : table) {
            std::visit(
                [&](auto member) {
                    using Member = decltype(member);
                    if constexpr (std::is_same_v<Member, double ExtensionSettings::*> ||
                                  std::is_same_v<Member, PhotonEnergyMode ExtensionSettings::*> ||
                                  std::is_same_v<Member, DeflectionModel ExtensionSettings::*> ||
                                  std::is_same_v<Member, std::string ExtensionSettings::*>) {
                        visit(p.extensions.*member);
                    } else {
                        visit(p.*member);
                    }
                },
                info.field);
        }
    }
    visit(p.endCheckword);
    visit(p.parameterFileName);
    visit(p.parameterFileLoaded);
    visit(p.preMaskActive);
    visit(p.postMaskActive);
    visit(p.sampleActive);
    visit(p.extensions.given);
}

}  // namespace

void writeParameterRecord(ByteWriter& writer, const SimulationParameters& parameters) {
    forEachField(parameters, [&](const auto& value) { writer.put(value); });
}

bool readParameterRecord(ByteReader& reader, SimulationParameters& parameters) {
    forEachField(parameters, [&](auto& value) { reader.get(value); });
    return reader.ok();
}

}  // namespace conesim
