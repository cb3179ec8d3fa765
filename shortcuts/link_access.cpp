#include "shortcuts/link_access.h"

namespace tsl {

// Until the system's shell link object is wired in, every platform uses the codec.
std::unique_ptr<LinkAccess> MakeLinkAccess() { return MakeCodecLinkAccess(); }

}  // namespace tsl
