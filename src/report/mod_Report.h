// The headless report: the same analysis as a click in the window, printed as text or JSON.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace veltrane {

// Runs `veltrane-report [--json] [--export-picture] FILE...` with the arguments after the
// program name. Returns the exit status: 0 when every FILE could be opened, 1 when one could
// not, 2 for a usage error.
int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace veltrane
