#include "driver/InterruptFile.hpp"

#include <fstream>
#include <string>

namespace conesim {

bool confirmsInterruption(const std::string& answer) {
    return answer.size() <= 2 && answer.find('y') != std::string::npos;
}

bool checkInterruptFile(Console& console) {
    {
        std::ifstream file(kInterruptFileName);
        if (!file.is_open()) {
            return false;
        }
    }
    writeLine(console.out, "\nPresence of interupt file detected.");
    writeLine(console.out, "Enter y to confirm interuption. Any other key continues: ");
    std::string answer;
    if (!(console.in >> answer)) {
        console.in.clear();
        answer.clear();
    }
    return confirmsInterruption(answer);
}

}  // namespace conesim
