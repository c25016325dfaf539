#include "Core/Operations/Document/documentexport.h"

#include "Core/Operations/Document/documentfile.h"
#include "Core/Operations/iuserprompts.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Export/meshexport.h"
#include "Model/Export/vtiexporter.h"
#include "Model/Transport/fluxengine.h"

#include <QDir>
#include <QTextStream>

namespace Core::Operations {

using Model::Automaton::TotalVolume;

namespace {

// What the document reader would show in a message box goes to the log instead.
class LogPrompts : public IUserPrompts {
public:
    explicit LogPrompts(QTextStream& log) : log(log) {}
    void showMessage(Icon, const QString&, const QString& text) override {
        log << text << Qt::endl;
    }
    bool confirm(const QString&, const QString&) override { return false; }
    SaveChoice askToSave(const QString&, const QString&) override { return SaveChoice::Cancel; }
    QString chooseSaveFile(const QString&, const QString&) override { return QString(); }
    QString chooseOpenFile(const QString&, const QString&) override { return QString(); }

private:
    QTextStream& log;
};

DocumentExport::Status report(const Model::Export::ExportResult& result, QTextStream& log) {
    if (!result.ok) {
        log << result.error << Qt::endl;
        return DocumentExport::ExportFailed;
    }
    for (const QString& file : result.files)
        log << "Wrote " << QDir::toNativeSeparators(file) << Qt::endl;
    return DocumentExport::Done;
}

} // namespace

std::optional<DocumentExport::OpenDocument> DocumentExport::open(const QString& fileName,
                                                                 int volume, QTextStream& log) {
    const QString shown = QDir::toNativeSeparators(fileName);
    LogPrompts prompts(log);
    log << "Reading " << shown << Qt::endl;
    const auto contents = DocumentFile::load(fileName, DocumentFile::archivers(), prompts);
    if (!contents)
        return std::nullopt;
    // Working on part of a structure as if it were the whole would mislead whoever uses it.
    if (contents->status != Model::Persistence::DocumentArchiver::ReadStatus::Complete) {
        log << shown << " is damaged (" << contents->error << "); a damaged document is not used."
            << Qt::endl;
        return std::nullopt;
    }

    std::vector<std::shared_ptr<TotalVolume>> volumes;
    for (const auto& object : contents->objects)
        if (auto cells = std::dynamic_pointer_cast<TotalVolume>(object))
            volumes.push_back(std::move(cells));
    const int count = int(volumes.size());
    if (count == 0) {
        log << shown << " holds no cell volume." << Qt::endl;
        return std::nullopt;
    }
    if (volume == 0 && count > 1) {
        log << shown << " holds " << count << " cell volumes; choose one of 1 to " << count << "."
            << Qt::endl;
        return std::nullopt;
    }
    if (volume < 0 || volume > count) {
        log << shown << " holds " << count << (count == 1 ? " cell volume" : " cell volumes")
            << "; there is no cell volume " << volume << "." << Qt::endl;
        return std::nullopt;
    }
    OpenDocument opened{contents->objects, volumes[std::size_t(volume == 0 ? 0 : volume - 1)]};
    log << "Cell volume of " << opened.volume->getSizeX() << " x " << opened.volume->getSizeY()
        << " x " << opened.volume->getSizeZ() << " cells" << Qt::endl;
    return opened;
}

DocumentExport::Status DocumentExport::run(const Request& request, QTextStream& log) {
    if (!request.mesh.isEmpty() && Model::Export::MeshExport::formatOf(request.mesh) ==
                                       Model::Export::MeshExport::Format::Unknown) {
        log << Model::Export::MeshExport::unknownFormat(request.mesh) << Qt::endl;
        return BadInput;
    }
    const auto opened = open(request.document, request.volume, log);
    if (!opened)
        return BadInput;
    return exportVolume(*opened->volume, request, log);
}

DocumentExport::Status DocumentExport::exportVolume(TotalVolume& volume, const Request& request,
                                                    QTextStream& log) {
    Status status = Done;
    if (!request.mesh.isEmpty()) {
        log << "Exporting the mesh to " << QDir::toNativeSeparators(request.mesh) << Qt::endl;
        if (report(Model::Export::MeshExport::write(volume, request.mesh), log) != Done)
            status = ExportFailed;
    }
    if (!request.vti.isEmpty()) {
        log << "Exporting the cells to " << QDir::toNativeSeparators(request.vti) << Qt::endl;
        std::optional<Model::Transport::SurfaceFlux> flux;
        if (request.fluxExponent) {
            Model::Transport::FluxSettings settings;
            settings.sourceExponent = *request.fluxExponent;
            settings.sticking = request.fluxSticking;
            log << "Tracing the flux" << Qt::endl;
            flux = Model::Transport::FluxEngine::compute(volume, settings);
        }
        if (report(Model::Export::VtiExporter::write(volume, request.vti, request.compressVolume,
                                                     flux ? &*flux : nullptr),
                   log) != Done)
            status = ExportFailed;
    }
    return status;
}

} // namespace Core::Operations
