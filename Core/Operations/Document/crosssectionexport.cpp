#include "Core/Operations/Document/crosssectionexport.h"

#include "Model/Export/crosssectionpicture.h"

#include <QDir>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cmath>

namespace Core::Operations {

using Model::Export::CrossSection;
using Model::Export::CrossSectionPicture;

CrossSectionExport::Status CrossSectionExport::run(const Request& request, QTextStream& log) {
    const auto opened = DocumentExport::open(request.document, request.volume, log);
    if (!opened)
        return BadInput;
    QString problem;
    const auto section = CrossSection::take(*opened->volume, request.plane, &problem);
    if (!section) {
        log << problem << Qt::endl;
        return Failed;
    }
    CrossSectionPicture::Options options;
    options.pixelsPerCell = request.pixelsPerCell;
    options.dimensions = request.dimensions;
    for (const Model::Metrology::MeasurementQuery& query : request.measurements) {
        const auto measured = Model::Metrology::measure(*opened->volume, query);
        // A picture that silently lacks an asked-for arrow would read as a measurement of 0.
        if (!measured.hasAnswer()) {
            log << query.text << ": " << measured.reason << Qt::endl;
            return Failed;
        }
        // Nor may one whose arrows miss the cut layer: name it, so the plane can be moved.
        const std::size_t drawable = std::size_t(
            std::count_if(measured.dimensions.begin(), measured.dimensions.end(),
                          [](const Model::Metrology::Dimension& d) {
                              return d.from.x != d.to.x || d.from.y != d.to.y || d.from.z != d.to.z;
                          }));
        CrossSectionPicture::Options alone;
        alone.pixelsPerCell = options.pixelsPerCell;
        alone.dimensions = measured.dimensions;
        const std::size_t placed = CrossSectionPicture(*section, alone).placedDimensions().size();
        if (drawable == 0 || placed < drawable) {
            log << query.text << ": ";
            if (drawable == 0)
                log << "the measurement has no arrow to draw in a section";
            else if (placed == 0)
                log << "the measurement lies outside the cut layer of " << request.plane.text();
            else
                log << drawable - placed << " of its " << drawable
                    << " dimensions lie outside the cut layer of " << request.plane.text();
            log << "; nothing was written" << Qt::endl;
            return Failed;
        }
        options.dimensions.insert(options.dimensions.end(), measured.dimensions.begin(),
                                  measured.dimensions.end());
    }
    const CrossSectionPicture picture(*section, options);
    const std::size_t left = options.dimensions.size() - picture.placedDimensions().size();
    if (left > 0)
        log << left << (left == 1 ? " dimension lies" : " dimensions lie")
            << " outside the cut layer and is not drawn." << Qt::endl;
    const auto written = picture.write(request.picture);
    if (!written.ok) {
        log << written.error << Qt::endl;
        return Failed;
    }
    log << "Wrote " << QDir::toNativeSeparators(request.picture) << " (" << picture.size().width()
        << " x " << picture.size().height() << " pixels)" << Qt::endl;
    return Done;
}

std::optional<Model::Metrology::Dimension> CrossSectionExport::parseDimension(const QString& text,
                                                                              QString* problem) {
    const QStringList parts = text.split(QLatin1Char(':'));
    const auto point = [](const QString& part, Util::Vector3D& into) {
        const QStringList numbers = part.split(QLatin1Char(','));
        if (numbers.size() != 3)
            return false;
        double values[3];
        for (int i = 0; i < 3; ++i) {
            bool ok = false;
            values[i] = numbers[i].trimmed().toDouble(&ok);
            if (!ok || !std::isfinite(values[i]))
                return false;
        }
        into = Util::Vector3D(values[0], values[1], values[2]);
        return true;
    };
    Model::Metrology::Dimension dimension;
    if (parts.size() < 2 || !point(parts[0], dimension.from) || !point(parts[1], dimension.to)) {
        if (problem)
            *problem = QStringLiteral("a dimension is given as X1,Y1,Z1:X2,Y2,Z2[:TEXT] in "
                                      "micrometres, not '%1'")
                           .arg(text);
        return std::nullopt;
    }
    const Util::Vector3D span = dimension.to - dimension.from;
    dimension.value = std::sqrt(span.x * span.x + span.y * span.y + span.z * span.z);
    dimension.unit = QStringLiteral("µm");
    // A text may hold colons of its own.
    dimension.label = parts.size() > 2 ? QStringList(parts.mid(2)).join(QLatin1Char(':'))
                                       : QStringLiteral("%1 µm").arg(dimension.value, 0, 'g', 6);
    return dimension;
}

} // namespace Core::Operations
