#pragma once

#include "Util/vector4d.h"

namespace Util {

// The window colour table: four entries in three schemes (default, low, the user's own).
// New objects always take their colours from the default scheme; the view reads the active one.
class ColorScheme {
public:
    enum Entry { DefaultObjectColor = 0, DefaultObjectOutlineColor, GridColor, BackgroundColor };
    enum Scheme { Default = 0, Low = 1, Custom = 2 };
    static constexpr int entryCount = 4;
    static constexpr int schemeCount = 3;

    static Vector4D color(Entry entry, int scheme);
    static Vector4D activeColor(Entry entry);
    // Only the custom scheme can be edited; the other two are fixed.
    static void setCustomColor(Entry entry, const Vector4D& color);
    static int activeScheme();
    static void setActiveScheme(int scheme);
};

} // namespace Util
