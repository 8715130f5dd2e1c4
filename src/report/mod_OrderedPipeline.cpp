#include "report/mod_OrderedPipeline.h"

#include <system_error>

namespace veltrane {

bool StartHostThread(std::vector<std::jthread>& threads, std::function<void()> body) {
    try {
        threads.emplace_back(std::move(body));
        return true;
    } catch (const std::system_error&) {
        return false;  // a process or memory limit: the run goes on with the threads it has
    }
}

}  // namespace veltrane
