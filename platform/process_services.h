// The system services the jobs need for the life of the process (OLE on Windows, for the shell
// link objects of the shortcut job; nothing on Linux).
#pragma once

namespace tsl {

class ProcessServices {
 public:
  ProcessServices();
  ~ProcessServices();
  ProcessServices(const ProcessServices&) = delete;
  ProcessServices& operator=(const ProcessServices&) = delete;

  /// False when the services could not be started.
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

}  // namespace tsl
