#include "platform/process_services.h"

namespace tsl {

ProcessServices::ProcessServices() : ok_(true) {}
ProcessServices::~ProcessServices() = default;

}  // namespace tsl
