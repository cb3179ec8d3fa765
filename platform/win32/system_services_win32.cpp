#include <ole2.h>
#include <windows.h>

#include "platform/system_services.h"

namespace tsl {

SystemServices::SystemServices() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}

SystemServices::~SystemServices() {
  if (ok_) OleUninitialize();
}

}  // namespace tsl
