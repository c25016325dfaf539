#include "Model/Export/exportnames.h"

#include "Model/Materials/materialfactory.h"

#include <set>

namespace Model::Export {

QString ExportNames::displayName(std::uint32_t material) {
    if (material == 0)
        return QStringLiteral("Empty");
    const Materials::Material record =
        Materials::MaterialFactory::getInstance()->getMaterial(material);
    if (record.getId() != material || record.getName().isEmpty())
        return QStringLiteral("Material %1").arg(material);
    return record.getName();
}

QString ExportNames::token(std::uint32_t material) {
    const QString name = displayName(material).simplified();
    QString result;
    result.reserve(name.size());
    for (const QChar c : name) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                           (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                           QStringLiteral("_-+.()").contains(c);
        result += plain ? c : QLatin1Char('_');
    }
    // A name of dots alone would name a folder, and a leading dot hides the file.
    if (result.startsWith(QLatin1Char('.')) || result.isEmpty())
        result = QStringLiteral("material_%1").arg(material);
    return result;
}

std::map<std::uint32_t, QString>
ExportNames::uniqueTokens(const std::vector<std::uint32_t>& materials) {
    std::map<std::uint32_t, QString> tokens;
    std::set<QString> taken;
    for (const std::uint32_t material : materials) {
        QString name = token(material);
        while (taken.count(name.toLower()))
            name += QStringLiteral("_%1").arg(material);
        taken.insert(name.toLower());
        tokens[material] = name;
    }
    return tokens;
}

} // namespace Model::Export
