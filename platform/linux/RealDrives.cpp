#include "platform/linux/RealDrives.h"

namespace platform::linux_detail {

std::vector<LetteredVolume> RealVolumes(bool) {
    LetteredVolume root;
    root.letter = 'C';
    root.directory = "/";
    root.eligible = false;
    root.removable = false;
    return {root};
}

} // namespace platform::linux_detail
