#pragma once

#include <QString>

#include <cstdint>
#include <map>
#include <vector>

namespace Model::Export {

// What exported files call the materials of a volume, taken from the material registry.
class ExportNames {
public:
    // The registry's name; "Empty" for id 0 and "Material <id>" for ids it does not know.
    static QString displayName(std::uint32_t material);
    // The display name made safe as a file name and as a single word in mesh files: spaces
    // become underscores, characters outside letters, digits and "_-+.()" become underscores.
    static QString token(std::uint32_t material);
    // Tokens of several materials, made unique (regardless of case, as some file systems
    // compare names) by appending the id to the later ones that clash.
    static std::map<std::uint32_t, QString>
    uniqueTokens(const std::vector<std::uint32_t>& materials);
};

} // namespace Model::Export
