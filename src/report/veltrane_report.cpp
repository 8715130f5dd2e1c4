#include <iostream>
#include <string>
#include <vector>

#include "report/mod_Report.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return veltrane::RunReport(args, std::cout, std::cerr);
}
