#include "Core/Operations/changetotalvolumevisualizationoptions.h"

#include "Core/Operations/Objects/documentedits.h"

namespace Core::Operations {

namespace {
std::shared_ptr<Util::IObserver>& observerSlot() {
    static std::shared_ptr<Util::IObserver> slot;
    return slot;
}
} // namespace

ChangeTotalVolumeVisualizationOptions::ChangeTotalVolumeVisualizationOptions(
    OperationContext& context)
    : Operation(QStringLiteral("Change Visualization"), 6), context(context) {}

void ChangeTotalVolumeVisualizationOptions::setObserver(std::shared_ptr<Util::IObserver> value) {
    observerSlot() = std::move(value);
}

std::shared_ptr<Util::IObserver> ChangeTotalVolumeVisualizationOptions::getObserver() {
    return observerSlot();
}

void ChangeTotalVolumeVisualizationOptions::message(const QString& text) const {
    context.consoleInput.writeMessage(name + text);
}

ChangeTotalVolumeVisualizationOptions::Options
ChangeTotalVolumeVisualizationOptions::optionsOf(Model::Automaton::TotalVolume& target) {
    const Model::Automaton::TotalVolumePainter& painter = target.getPainter();
    Options current;
    current.renderSiAtoms = painter.getRenderAtoms();
    current.renderSurfaceAtomsOnly = painter.getSurfaceAtomsOnly();
    current.renderSiAtomLinks = painter.getRenderAtomLinks();
    current.renderUnitCellOutlines = painter.getRenderUnitCellOutlines();
    current.renderUnitCells = painter.getRenderUnitCells();
    current.renderEmptyVoxelOutlines = painter.getRenderEmptyVoxelOutlines();
    current.surfaceAlgorithm = painter.getAlgorithm();
    return current;
}

void ChangeTotalVolumeVisualizationOptions::step() {
    if (closed)
        return;
    if (counter == 2) {
        end();
        return;
    }
    if (counter != 0)
        return;
    volume = DocumentEdits::takeSelectedVolume(
        context, *this, name + QStringLiteral(": Select a cell volume and press Enter/Return."),
        name + QStringLiteral(": Cell volume selected."));
    if (!volume)
        return;
    counter = 1;
    DocumentEdits::openDialog(*this, getObserver());
}

void ChangeTotalVolumeVisualizationOptions::setOptions(const Options& values) {
    if (counter != 1)
        return;
    options = values;
    counter = 2;
}

void ChangeTotalVolumeVisualizationOptions::end() {
    if (closed)
        return;
    if (counter != 2) {
        cancel();
        return;
    }
    closed = true;
    Model::Automaton::TotalVolumePainter& painter = volume->getPainter();
    painter.setRenderAtoms(options.renderSiAtoms);
    painter.setSurfaceAtomsOnly(options.renderSurfaceAtomsOnly);
    painter.setRenderAtomLinks(options.renderSiAtomLinks);
    painter.setRenderUnitCellOutlines(options.renderUnitCellOutlines);
    painter.setRenderUnitCells(options.renderUnitCells);
    painter.setRenderEmptyVoxelOutlines(options.renderEmptyVoxelOutlines);
    painter.setAlgorithm(options.surfaceAlgorithm);
    painter.rebuild();
    for (const Model::ObjectPtr& object : context.document->getObjects()) {
        if (auto* other = dynamic_cast<Model::Automaton::TotalVolume*>(object.get()))
            other->getPainter().updateMaterialColors();
    }
    context.consoleInput.reset();
    context.host.finishCurrentOperation();
    message(QStringLiteral(": Options changed."));
}

void ChangeTotalVolumeVisualizationOptions::cancel() {
    if (closed)
        return;
    closed = true;
    message(QStringLiteral(": Operation Canceled!"));
    context.consoleInput.reset();
    DocumentEdits::dropIfCurrent(context, *this);
}

} // namespace Core::Operations
