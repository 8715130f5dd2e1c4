// The headless report: the same analysis as a click in the window, printed as text or JSON.
#pragma once

#include <iosfwd>
#include <streambuf>
#include <string>
#include <system_error>
#include <vector>

#include "report/mod_OrderedPipeline.h"

namespace veltrane {

// Runs `veltrane-report [OPTION]... PATH...` (the options as --help shows them) with the
// arguments after the program name. Returns the exit status: 0 when every file could be opened
// and every folder read, 1 when one could not, 2 for a usage error, 3 when the report could
// not be written (out failed; the run stops there). Threads are started through start.
int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const ThreadStarter& start = StartHostThread);

// An unbuffered stream buffer over a file descriptor that keeps the error of a failed write,
// so that the report can say why it could not be written.
class DescriptorOutput final : public std::streambuf {
  public:
    explicit DescriptorOutput(int fd) : fd_(fd) {}
    std::error_code Error() const { return error_; }

  protected:
    std::streamsize xsputn(const char* data, std::streamsize n) override;
    int_type overflow(int_type c) override;

  private:
    int fd_;
    std::error_code error_;
};

}  // namespace veltrane
