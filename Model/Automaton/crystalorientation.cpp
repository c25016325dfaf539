#include "Model/Automaton/crystalorientation.h"

namespace Model::Automaton {

QString crystalOrientationName(CrystalOrientation orientation) {
    return orientation == CrystalOrientation::Surface110 ? QStringLiteral("110")
                                                         : QStringLiteral("100");
}

bool crystalOrientationFromName(const QString& name, CrystalOrientation& orientation) {
    QString plain = name.trimmed();
    if (plain.startsWith(QLatin1Char('(')) && plain.endsWith(QLatin1Char(')')))
        plain = plain.mid(1, plain.size() - 2).trimmed();
    for (const CrystalOrientation candidate :
         {CrystalOrientation::Surface100, CrystalOrientation::Surface110}) {
        if (plain == crystalOrientationName(candidate)) {
            orientation = candidate;
            return true;
        }
    }
    return false;
}

QString crystalOrientationRefusal(const QString& name) {
    return QStringLiteral("the crystal orientation must be 100 or 110, not \"%1\"")
        .arg(name.left(40));
}

} // namespace Model::Automaton
