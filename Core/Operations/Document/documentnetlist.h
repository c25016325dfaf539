#pragma once

#include <QString>

#include <optional>

class QTextStream;

namespace Model::Automaton {
class TotalVolume;
}

namespace Core::Operations {

// Extracts the cantilever netlist of a cell volume of a document file without a window: what
// the command line asks for, and what a runner of process lists asks for after its last step.
class DocumentNetlist {
public:
    struct Request {
        QString document;
        // Which cell volume, counted from 1 in document order; 0 for the document's only one.
        int volume = 0;
        // Either may be empty, not both.
        QString netlist;
        // The mechanics report (JSON) of the beams, its table printed to `table`.
        QString report;
    };

    // Exit codes of the command-line tools.
    enum Status { Done = 0, NoModel = 1, BadInput = 2 };

    // Reads the document and writes the netlist of the chosen volume. Progress and errors go
    // to `log`, one line each, naming the file concerned.
    static Status run(const Request& request, QTextStream& log, QTextStream* table = nullptr);

    // The netlist of a volume already at hand. NoModel when it holds no beam (nothing is
    // written then) or the file could not be written.
    static Status extract(Model::Automaton::TotalVolume& volume, const QString& netlist,
                          QTextStream& log);
    // The same in two halves, for a caller that must know the netlist can be had before it
    // writes anything else: the text, or nothing (said why in `log`) when the volume holds no
    // beam; then the file.
    static std::optional<QString> netlistOf(Model::Automaton::TotalVolume& volume,
                                            const QString& netlist, QTextStream& log);
    static Status write(const QString& netlist, const QString& text, QTextStream& log);

    // Writes the mechanics report of the volume's beams as JSON to `file` and its table to
    // `table`. The report is written even when the volume holds no beam (the wafer's bow
    // still says something), but that is NoModel; a file that cannot be written too.
    static Status report(Model::Automaton::TotalVolume& volume, const QString& file,
                         QTextStream& log, QTextStream* table);
};

} // namespace Core::Operations
