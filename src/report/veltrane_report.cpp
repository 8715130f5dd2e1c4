#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "report/mod_Report.h"

int main(int argc, char** argv) {
    // A reader that goes away is a failed write like any other: said, and the run stops.
    ::signal(SIGPIPE, SIG_IGN);
    std::ios::sync_with_stdio(false);
    veltrane::DescriptorOutput standardOutput(STDOUT_FILENO);
    std::ostream out(&standardOutput);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return veltrane::RunReport(args, out, std::cerr);
}
