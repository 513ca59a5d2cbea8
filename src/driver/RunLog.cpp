#include "driver/RunLog.hpp"

#include "util/Console.hpp"

namespace conesim {

namespace {
const std::string kRule(63, '/');
}

std::string asctimeText(std::time_t when) {
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) {
        return "\n";
    }
    char text[64];
    if (asctime_r(&local, text) == nullptr) {
        return "\n";
    }
    return text;
}

void writeRunLogHeader(std::ostream& log, const std::vector<std::string>& args,
                       const std::string& runName, std::time_t start) {
    writeLine(log, kRule);
    log << "Logged command:\n";
    for (const std::string& word : args) {
        log << word << " ";
    }
    log << "\n------------\n";
    log << "Run number " << runName << " started at:\n" << asctimeText(start);
}

void writeRunLogTrailer(std::ostream& log, const std::string& runName, std::time_t end) {
    log << "------------\nRun number " << runName << " finished at:\n" << asctimeText(end);
    log << kRule << "\n";
    log << std::endl;
}

}  // namespace conesim
