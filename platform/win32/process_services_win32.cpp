#include <ole2.h>
#include <windows.h>

#include "platform/process_services.h"

namespace tsl {

ProcessServices::ProcessServices() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}

ProcessServices::~ProcessServices() {
  if (ok_) OleUninitialize();
}

}  // namespace tsl
