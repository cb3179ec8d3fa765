#include "platform/paths.h"

namespace tsl {

PathStyle NativePathStyle() { return PathStyle::kPosix; }

}  // namespace tsl
