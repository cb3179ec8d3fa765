// The system services the jobs need for the life of the process (OLE on Windows, for the shell
// link objects of the shortcut job; nothing on Linux).
#pragma once

namespace tsl {

class SystemServices {
 public:
  SystemServices();
  ~SystemServices();
  SystemServices(const SystemServices&) = delete;
  SystemServices& operator=(const SystemServices&) = delete;

  /// False when the services could not be started.
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

}  // namespace tsl
