#pragma once

#include "Util/vector3d.h"

#include <QMetaType>

#include <vector>

// Values that travel in QVariants between process lists, the batch dialog and the executor of
// their records. Mask rows and similar on/off lists are vectors of 0/1 bytes.
Q_DECLARE_METATYPE(std::vector<unsigned char>)
Q_DECLARE_METATYPE(Util::Vector3D)
