#pragma once

#include "Model/layer.h"

#include <QString>

#include <memory>
#include <optional>

class QTextStream;

namespace Model::Automaton {
class TotalVolume;
}

namespace Core::Operations {

// Exports one cell volume of a document file without a window: what the command line asks
// for, and what a runner of process lists asks for after its last step.
class DocumentExport {
public:
    struct Request {
        QString document;
        // Which cell volume, counted from 1 in document order; 0 for the document's only one.
        int volume = 0;
        // A mesh target as the mesh export takes it; empty for none.
        QString mesh;
        // A ".vti" file; empty for none.
        QString vti;
        bool compressVolume = false;
        // With the ".vti" file: the flux of a source of this cosine power, every material
        // sticking with this probability, as a second cell array.
        std::optional<double> fluxExponent;
        double fluxSticking = 1.0;
    };

    // Exit codes of the command-line tools.
    enum Status { Done = 0, ExportFailed = 1, BadInput = 2 };

    // A document read whole for work without a window, and the cell volume chosen in it.
    struct OpenDocument {
        Model::ObjectList objects;
        std::shared_ptr<Model::Automaton::TotalVolume> volume;
    };
    // Reads `fileName` and picks cell volume `volume` (from 1; 0 for the only one). Nothing,
    // with the reason on `log` naming the file, when the file cannot be read, is damaged or
    // holds no such volume.
    static std::optional<OpenDocument> open(const QString& fileName, int volume, QTextStream& log);

    // Reads the document and exports the chosen volume. Progress and errors go to `log`, one
    // line each, naming the file concerned.
    static Status run(const Request& request, QTextStream& log);

    // The exports of a volume already at hand.
    static Status exportVolume(Model::Automaton::TotalVolume& volume, const Request& request,
                               QTextStream& log);
};

} // namespace Core::Operations
