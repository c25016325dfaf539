#include "Core/Operations/Objects/documentedits.h"

#include "Core/Operations/operationcontext.h"

#include <algorithm>
#include <limits>

namespace Core::Operations::DocumentEdits {

void add(OperationContext& context, const Model::ObjectPtr& object) {
    context.document->addObject(object);
}

void remove(OperationContext& context, const Model::ObjectPtr& object) {
    if (object->isSelected())
        context.selection.toggle(object);
    context.document->removeObject(object);
}

namespace {

struct Extent {
    double lower[3];
    double upper[3];
};

Extent extentOf(const Model::Automaton::TotalVolume& volume) {
    const Util::Vector3D p = volume.getPosition();
    const double size[] = {double(volume.getSizeX()) * volume.getCellSizeX(),
                           double(volume.getSizeY()) * volume.getCellSizeY(),
                           double(volume.getSizeZ()) * volume.getCellSizeZ()};
    return {{p.x, p.y, p.z}, {p.x + size[0], p.y + size[1], p.z + size[2]}};
}

} // namespace

void placeBesideOthers(const Model::ObjectList& others, Model::Automaton::TotalVolume& volume) {
    const Extent placed = extentOf(volume);
    bool overlaps = false;
    double right = -std::numeric_limits<double>::max();
    for (const Model::ObjectPtr& object : others) {
        const auto* other = dynamic_cast<const Model::Automaton::TotalVolume*>(object.get());
        if (!other || other == &volume)
            continue;
        const Extent extent = extentOf(*other);
        right = std::max(right, extent.upper[0]);
        bool apart = false;
        for (int axis = 0; axis < 3; ++axis)
            apart = apart || extent.upper[axis] <= placed.lower[axis] ||
                    placed.upper[axis] <= extent.lower[axis];
        overlaps = overlaps || !apart;
    }
    if (!overlaps)
        return;
    const double gap = (placed.upper[0] - placed.lower[0]) / 10.0;
    volume.translate(Util::Vector4D(right + gap - placed.lower[0], 0.0, 0.0, 0.0));
}

std::shared_ptr<Model::Automaton::TotalVolume>
firstSelectedVolume(const OperationContext& context, const Model::Automaton::TotalVolume* other) {
    for (const auto& object : context.selection.getSelectedObjects()) {
        auto volume = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(object);
        if (volume && volume.get() != other)
            return volume;
    }
    return nullptr;
}

std::shared_ptr<Model::Automaton::TotalVolume> takeSelectedVolume(OperationContext& context,
                                                                  Operation& operation,
                                                                  const QString& prompt,
                                                                  const QString& taken) {
    auto volume = firstSelectedVolume(context);
    if (!volume) {
        context.consoleInput.writeMessage(prompt);
        context.consoleInput.requestEnter(operation);
        context.selection.setSelectionMode(true);
        return nullptr;
    }
    context.selection.clearSelection();
    context.selection.setSelectionMode(false);
    context.notifyUpdateObservers();
    context.consoleInput.writeMessage(taken);
    return volume;
}

void openDialog(Operation& operation, const std::shared_ptr<Util::IObserver>& observer) {
    const OperationPtr keepAlive = operation.weak_from_this().lock();
    if (observer)
        observer->update();
}

void dropIfCurrent(OperationContext& context, const Operation& operation) {
    if (context.currentOperation.get() == &operation)
        context.host.cancelCurrentOperation();
}

} // namespace Core::Operations::DocumentEdits
