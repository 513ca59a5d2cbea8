#include "driver/Banner.hpp"

namespace conesim {

void writeBannerAndUsage(Console& console) {
    std::ostream& out = console.out;
    writeLine(out, "\nProgram to simulate cone beam projections through data volumes.");
    writeLine(out, "conesim developers");
    writeLine(out, "Contact: the conesim project's issue tracker");
    writeLine(out, "December 2026");
    writeLine(out, "");
    out << "\nSee Parameters file \"*.par\" for further options. ";
    writeLine(out,
              "Usage:\n[ProgName] [Para_file]\nor for debugging\n[ProgName] [Para_file] "
              "[OutputName].\n");
}

}  // namespace conesim
