#include "Core/Operations/BatchRun/processrecord.h"

#include <QHash>

namespace Core::Operations::RecordParameters {

QString unitOf(const QString& name) {
    static const QString microns = QStringLiteral("µm");
    static const QString cells = QStringLiteral("cells");
    static const QHash<QString, QString> units{
        {thickness, microns},
        {depth, microns},
        {filmThickness, microns},
        {dopingDepth, microns},
        {oxidationThickness, microns},
        {planePosition, microns},
        {etchDepth, cells},
        {maximumHeight, cells},
        {minimumHeight, cells},
        {substrateRadius, cells},
        {rate, QStringLiteral("µm/min")},
        {time, QStringLiteral("min")},
        {etchTime, QStringLiteral("min")},
        {kohTemperature, QStringLiteral("°C")},
        {kohConcentration, QStringLiteral("wt %")},
        {etchDepthPerCycle, microns},
        {passivationThickness, microns},
        {etchRate, QStringLiteral("µm/min")},
        {passivationRate, QStringLiteral("µm/min")},
        {etchTimePerCycle, QStringLiteral("min")},
        {passivationTimePerCycle, QStringLiteral("min")},
    };
    if (const auto found = units.constFind(name); found != units.constEnd())
        return *found;
    // "Volume Size X", "Cell Size Z", "Etch Depth Microns", "Substrate Size Microns Y".
    QString base = name;
    if (base.size() > 2 && base.at(base.size() - 2) == QLatin1Char(' ') &&
        QStringLiteral("XYZ").contains(base.back()))
        base.chop(2);
    if (base.endsWith(QStringLiteral(" Microns")) || base == QLatin1String(cellSize))
        return microns;
    for (const char* counted : {volumeSize, substrateSize, substrateDelta, substrateCenter})
        if (base == QLatin1String(counted))
            return cells;
    return QString();
}

} // namespace Core::Operations::RecordParameters
