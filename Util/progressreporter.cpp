#include "Util/progressreporter.h"

namespace Util {

ProgressReporter& ProgressReporter::none() {
    // Stateless, so one instance serves every thread.
    static ProgressReporter silent;
    return silent;
}

} // namespace Util
