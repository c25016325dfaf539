#pragma once

#include <QString>

namespace Util {

// This build's version, as every program's --version and the About box show it: the
// project's version, and for a build from a checkout the commits since and the commit
// ("0.1+57.g1a2b3c4").
QString version();

} // namespace Util
