#include "driver/Driver.hpp"

int main(int argc, char** argv) {
    return conesim::runProgram(argc, argv);
}
