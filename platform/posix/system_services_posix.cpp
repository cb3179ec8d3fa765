#include "platform/system_services.h"

namespace tsl {

SystemServices::SystemServices() : ok_(true) {}
SystemServices::~SystemServices() = default;

}  // namespace tsl
