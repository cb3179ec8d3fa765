#include "platform/paths.h"

namespace tsl {

PathStyle NativePathStyle() { return PathStyle::kWindows; }

}  // namespace tsl
