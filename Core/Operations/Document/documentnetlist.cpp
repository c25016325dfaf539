#include "Core/Operations/Document/documentnetlist.h"

#include "Core/Operations/Document/documentexport.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/ModelExtraction/cantilevermodelrule.h"
#include "Model/ModelExtraction/cantileverstructure.h"
#include "Model/ModelExtraction/cutgriddecomposition.h"
#include "Model/ModelExtraction/mechanicsreport.h"
#include "Model/ModelExtraction/netlistfile.h"

#include <QDir>
#include <QTextStream>

#include <algorithm>

namespace Core::Operations {

using namespace Model::ModelExtraction;

DocumentNetlist::Status DocumentNetlist::run(const Request& request, QTextStream& log,
                                             QTextStream* table) {
    const auto opened = DocumentExport::open(request.document, request.volume, log);
    if (!opened)
        return BadInput;
    Status status = Done;
    if (!request.netlist.isEmpty())
        status = extract(*opened->volume, request.netlist, log);
    if (!request.report.isEmpty())
        status = std::max(status, report(*opened->volume, request.report, log, table));
    return status;
}

DocumentNetlist::Status DocumentNetlist::report(Model::Automaton::TotalVolume& volume,
                                                const QString& file, QTextStream& log,
                                                QTextStream* table) {
    const std::optional<MechanicsReport> made = MechanicsReport::of(volume, {});
    if (table)
        *table << made->table() << Qt::flush;
    QString error;
    if (!NetlistFile::write(file, QString::fromUtf8(made->toJson()), &error)) {
        log << error << Qt::endl;
        return NoModel;
    }
    log << "Wrote " << QDir::toNativeSeparators(file) << Qt::endl;
    if (made->beams.empty()) {
        log << "The volume holds no free-standing beam." << Qt::endl;
        return NoModel;
    }
    return Done;
}

DocumentNetlist::Status DocumentNetlist::extract(Model::Automaton::TotalVolume& volume,
                                                 const QString& netlist, QTextStream& log) {
    const std::optional<QString> text = netlistOf(volume, netlist, log);
    return text ? write(netlist, *text, log) : NoModel;
}

std::optional<QString> DocumentNetlist::netlistOf(Model::Automaton::TotalVolume& volume,
                                                  const QString& netlist, QTextStream& log) {
    QString reason;
    const auto model = CutGridDecomposition::preprocess(volume, &reason);
    if (!model) {
        log << reason << Qt::endl;
        return std::nullopt;
    }
    log << "Preprocessing: " << model->getEnvelopes().size() << " boxes of one material"
        << Qt::endl;
    CantileverModelRule rule;
    const auto structure = rule.apply(model);
    log << "Feature detection: " << rule.getBeams().size()
        << (rule.getBeams().size() == 1 ? " beam" : " beams") << Qt::endl;
    if (!structure) {
        log << "No model data was extracted; " << QDir::toNativeSeparators(netlist)
            << " was not written." << Qt::endl;
        return std::nullopt;
    }
    return structure->netlist();
}

DocumentNetlist::Status DocumentNetlist::write(const QString& netlist, const QString& text,
                                               QTextStream& log) {
    QString error;
    if (!NetlistFile::write(netlist, text, &error)) {
        log << error << Qt::endl;
        return NoModel;
    }
    log << "Wrote " << QDir::toNativeSeparators(netlist) << Qt::endl;
    return Done;
}

} // namespace Core::Operations
