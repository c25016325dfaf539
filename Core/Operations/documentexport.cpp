#include "Core/Operations/documentexport.h"

#include "Core/Operations/documentfile.h"
#include "Core/Operations/iuserprompts.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Export/meshexport.h"
#include "Model/Export/vtiexporter.h"
#include "Model/Persistence/totalvolumearchiver.h"

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

DocumentExport::Status DocumentExport::run(const Request& request, QTextStream& log) {
    if (!request.mesh.isEmpty() && Model::Export::MeshExport::formatOf(request.mesh) ==
                                       Model::Export::MeshExport::Format::Unknown) {
        log << Model::Export::MeshExport::unknownFormat(request.mesh) << Qt::endl;
        return BadInput;
    }
    const QString shown = QDir::toNativeSeparators(request.document);
    Model::Persistence::ArchiverTable archivers;
    archivers[Model::Persistence::TotalVolumeArchiver::objectType] =
        std::make_shared<Model::Persistence::TotalVolumeArchiver>();
    LogPrompts prompts(log);
    log << "Reading " << shown << Qt::endl;
    const auto contents = DocumentFile::load(request.document, archivers, prompts);
    if (!contents)
        return BadInput;
    // Exporting part of a structure as if it were the whole would mislead whoever meshes it.
    if (contents->status != Model::Persistence::DocumentArchiver::ReadStatus::Complete) {
        log << shown << " is damaged (" << contents->error << "); nothing was exported."
            << Qt::endl;
        return BadInput;
    }

    std::vector<std::shared_ptr<TotalVolume>> volumes;
    for (const auto& object : contents->objects)
        if (auto volume = std::dynamic_pointer_cast<TotalVolume>(object))
            volumes.push_back(std::move(volume));
    const int count = int(volumes.size());
    if (count == 0) {
        log << shown << " holds no cell volume." << Qt::endl;
        return BadInput;
    }
    if (request.volume == 0 && count > 1) {
        log << shown << " holds " << count << " cell volumes; choose one of 1 to " << count << "."
            << Qt::endl;
        return BadInput;
    }
    if (request.volume < 0 || request.volume > count) {
        log << shown << " holds " << count << (count == 1 ? " cell volume" : " cell volumes")
            << "; there is no cell volume " << request.volume << "." << Qt::endl;
        return BadInput;
    }
    TotalVolume& volume = *volumes[std::size_t(request.volume == 0 ? 0 : request.volume - 1)];
    log << "Cell volume of " << volume.getSizeX() << " x " << volume.getSizeY() << " x "
        << volume.getSizeZ() << " cells" << Qt::endl;
    return exportVolume(volume, request, log);
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
        if (report(Model::Export::VtiExporter::write(volume, request.vti, request.compressVolume),
                   log) != Done)
            status = ExportFailed;
    }
    return status;
}

} // namespace Core::Operations
