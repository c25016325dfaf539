#include "Util/colorscheme.h"

#include <mutex>

namespace Util {

namespace {

std::mutex tableMutex;
int currentScheme = ColorScheme::Default;

Vector4D table[ColorScheme::schemeCount][ColorScheme::entryCount] = {
    {{0, 0, 0, 1}, {1, 1, 1, 1}, {0.4, 0.4, 0.4, 1}, {0, 0, 0, 1}},
    {{1, 1, 1, 1}, {0, 0, 0, 1}, {0.4, 0.4, 0.4, 1}, {1, 1, 1, 1}},
    {{1, 0, 0, 1}, {1, 1, 1, 1}, {0.4, 0.4, 0.4, 1}, {0, 0, 0, 1}},
};

int clampScheme(int scheme) {
    return scheme < 0 || scheme >= ColorScheme::schemeCount ? ColorScheme::Default : scheme;
}

} // namespace

Vector4D ColorScheme::color(Entry entry, int scheme) {
    std::lock_guard<std::mutex> lock(tableMutex);
    return table[clampScheme(scheme)][entry];
}

Vector4D ColorScheme::activeColor(Entry entry) {
    std::lock_guard<std::mutex> lock(tableMutex);
    return table[currentScheme][entry];
}

void ColorScheme::setCustomColor(Entry entry, const Vector4D& color) {
    std::lock_guard<std::mutex> lock(tableMutex);
    table[Custom][entry] = color;
}

int ColorScheme::activeScheme() {
    std::lock_guard<std::mutex> lock(tableMutex);
    return currentScheme;
}

void ColorScheme::setActiveScheme(int scheme) {
    std::lock_guard<std::mutex> lock(tableMutex);
    currentScheme = clampScheme(scheme);
}

} // namespace Util
