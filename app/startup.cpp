#include "app/startup.h"

#include "app/command_line.h"
#include "services/messages.h"
#include "app/script_driver.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/process_services.h"
#include "resources/string_table.h"

namespace tsl {

int RunTslRun(const std::string& argument) {
  ProcessServices services;
  if (!services.ok()) {
    ShowMessage("Ole Initialization Failed");
    return 1;
  }
  ScriptPaths paths = SplitScriptPaths(argument, Files().CurrentFolder(), NativePathStyle());
  if (!paths.any()) {
    ShowMessage(TableText(text_id::kUsage));
    return 1;
  }
  ScriptDriver driver(std::move(paths));
  return driver.Run() ? 0 : 1;
}

}  // namespace tsl
