#include "platform/stop_request.h"

namespace veskari {
namespace {

thread_local const StopRequest* tCurrentRequest = nullptr;

}  // namespace

StopScope::StopScope(const StopRequest& request) noexcept : previous_(tCurrentRequest)
{
    tCurrentRequest = &request;
}

StopScope::~StopScope()
{
    tCurrentRequest = previous_;
}

void PollStop()
{
    if (tCurrentRequest != nullptr && tCurrentRequest->Raised()) {
        throw AnalysisStopped();
    }
}

}  // namespace veskari
