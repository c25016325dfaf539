#include "Core/Operations/Document/exportoperations.h"

#include "Model/Export/crosssectionpicture.h"
#include "Model/Export/meshexport.h"
#include "Model/Export/vtiexporter.h"
#include "Util/recentfolder.h"

#include <QDir>
#include <QFileInfo>

namespace Core::Operations {

using Model::Automaton::TotalVolume;

namespace {

std::vector<std::shared_ptr<TotalVolume>> volumesOf(const Model::ObjectList& objects) {
    std::vector<std::shared_ptr<TotalVolume>> volumes;
    for (const auto& object : objects)
        if (auto volume = std::dynamic_pointer_cast<TotalVolume>(object))
            volumes.push_back(std::move(volume));
    return volumes;
}

} // namespace

ExportOperation::ExportOperation(OperationContext& context, const QString& name, int id)
    : Operation(name, id), context(context) {}

void ExportOperation::message(const QString& text) const {
    context.consoleInput.writeMessage(name + text);
}

bool ExportOperation::takeVolume() {
    const auto selected = volumesOf(context.selection.getSelectedObjects());
    if (!selected.empty()) {
        target = selected.front();
        context.selection.clearSelection();
        context.selection.setSelectionMode(false);
        context.notifyUpdateObservers();
        message(QStringLiteral(": Cell volume selected."));
        return true;
    }
    // With a single volume there is nothing to choose.
    const auto all = volumesOf(context.document->getObjects());
    if (all.size() == 1) {
        target = all.front();
        return true;
    }
    return false;
}

void ExportOperation::step() {
    if (!target && !takeVolume()) {
        if (volumesOf(context.document->getObjects()).empty()) {
            context.prompts.showMessage(IUserPrompts::Icon::Information,
                                        QStringLiteral("Missing Cell Volume"),
                                        QStringLiteral("There is no cell volume to export."));
            cancel();
            return;
        }
        message(QStringLiteral(": Select a cell volume and press Enter/Return."));
        context.consoleInput.requestEnter(*this);
        context.selection.setSelectionMode(true);
        return;
    }
    context.consoleInput.reset();
    // Only the folder: a name of one format offered to the other would overwrite that file.
    const QString chosen =
        context.prompts.chooseSaveFileIn(name, Util::RecentFolder::get(), filter());
    if (chosen.isEmpty()) {
        cancel();
        return;
    }
    fileName = completed(chosen);
    end();
}

void ExportOperation::cancel() {
    message(QStringLiteral(": Operation canceled."));
    context.consoleInput.reset();
    context.host.cancelCurrentOperation();
}

void ExportOperation::end() {
    if (!target || fileName.isEmpty()) {
        cancel();
        return;
    }
    Util::RecentFolder::remember(fileName);
    const Model::Export::ExportResult result = write(*target);
    if (result.ok) {
        QStringList shown;
        for (const QString& file : result.files)
            shown << QDir::toNativeSeparators(file);
        message(QStringLiteral(": Wrote %1.").arg(shown.join(QStringLiteral(", "))));
    } else {
        message(QStringLiteral(": Nothing was written."));
        context.prompts.showMessage(IUserPrompts::Icon::Critical, errorTitle(), result.error);
    }
    context.consoleInput.reset();
    context.host.finishCurrentOperation();
}

ExportMeshOperation::ExportMeshOperation(OperationContext& context)
    : ExportOperation(context, QStringLiteral("Export Mesh"), 40) {}

QString ExportMeshOperation::filter() const {
    return QStringLiteral("Meshes (*.stl *.obj)");
}

Model::Export::ExportResult ExportMeshOperation::write(TotalVolume& volume) {
    return Model::Export::MeshExport::write(volume, fileName);
}

ExportVolumeOperation::ExportVolumeOperation(OperationContext& context)
    : ExportOperation(context, QStringLiteral("Export Volume"), 41) {}

QString ExportVolumeOperation::filter() const {
    return QStringLiteral("VTK image data (*.vti)");
}

QString ExportVolumeOperation::completed(const QString& chosen) const {
    // The file dialog does not add the suffix of its filter.
    return QFileInfo(chosen).suffix().isEmpty() ? chosen + QStringLiteral(".vti") : chosen;
}

Model::Export::ExportResult ExportVolumeOperation::write(TotalVolume& volume) {
    return Model::Export::VtiExporter::write(volume, fileName);
}

SaveCrossSectionOperation::SaveCrossSectionOperation(OperationContext& context)
    : ExportOperation(context, QStringLiteral("Save Cross-Section"), 42) {}

QString SaveCrossSectionOperation::filter() const {
    return QStringLiteral("Pictures (*.png *.svg)");
}

QString SaveCrossSectionOperation::completed(const QString& chosen) const {
    return QFileInfo(chosen).suffix().isEmpty() ? chosen + QStringLiteral(".png") : chosen;
}

Model::Export::ExportResult SaveCrossSectionOperation::write(TotalVolume& volume) {
    using Model::Export::CrossSection;
    const Model::Export::SectionPlane plane = CrossSection::planeOfCut(volume);
    message(QStringLiteral(": Cross-section at %1.").arg(plane.text()));
    QString problem;
    const auto section = CrossSection::take(volume, plane, &problem);
    if (!section)
        return Model::Export::ExportResult::failure(problem);
    return Model::Export::CrossSectionPicture(*section, {}).write(fileName);
}

} // namespace Core::Operations
