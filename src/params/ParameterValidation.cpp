#include "params/ParameterTable.hpp"
#include "params/SettingRelations.hpp"
#include "params/SimulationParameters.hpp"

namespace conesim {

namespace {

// Every comparison widens the stored value exactly to double precision.
double valueOf(const SimulationParameters& p, int number) {
    return numericValue(p, *findParameter(number));
}

bool relationFails(const SimulationParameters& p, const SettingRelation& relation) {
    const double first = valueOf(p, relation.first);
    const double second = valueOf(p, relation.second);
    return relation.kind == RelationKind::kAfter ? first < second : first + second > 1.0;
}

bool checkFails(const SimulationParameters& p, int fault) {
    for (const ParameterInfo& info : parameterTable()) {
        if (info.fault == fault && !withinRange(info, numericValue(p, info))) {
            return true;
        }
    }
    for (const SettingRelation& relation : kSettingRelations) {
        if (relation.fault == fault && relationFails(p, relation)) {
            return true;
        }
    }
    return false;
}

}  // namespace

int SimulationParameters::faultCode() const {
    int code = 0;
    for (int fault : kFaultCheckOrder) {
        if (checkFails(*this, fault)) {
            code = fault;
        }
    }
    return code;
}

}  // namespace conesim
