#pragma once

#include "Core/Operations/Document/documentexport.h"
#include "Model/Export/crosssection.h"
#include "Model/Metrology/dimension.h"
#include "Model/Metrology/measurementquery.h"

#include <QString>

#include <optional>
#include <vector>

class QTextStream;

namespace Core::Operations {

// Writes the cross-section picture of a cell volume of a document without a window: what
// cellvane-section asks for.
class CrossSectionExport {
public:
    struct Request {
        QString document;
        // Which cell volume, counted from 1; 0 for the document's only one.
        int volume = 0;
        Model::Export::SectionPlane plane;
        QString picture;
        // 0 chooses the scale.
        int pixelsPerCell = 0;
        std::vector<Model::Metrology::Dimension> dimensions;
        // Measurements taken on the volume before it is drawn; their arrows join `dimensions`.
        std::vector<Model::Metrology::MeasurementQuery> measurements;
    };

    // Exit codes: written; the plane misses the volume or the picture could not be written;
    // a document that cannot be read.
    enum Status { Done = 0, Failed = 1, BadInput = 2 };

    static Status run(const Request& request, QTextStream& log);

    // "X1,Y1,Z1:X2,Y2,Z2" or "X1,Y1,Z1:X2,Y2,Z2:TEXT" in micrometres of volume coordinates;
    // without a text the arrow is labelled with its length. Nothing, with the reason, for
    // anything else.
    static std::optional<Model::Metrology::Dimension> parseDimension(const QString& text,
                                                                     QString* problem);
};

} // namespace Core::Operations
