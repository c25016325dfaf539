#include "Core/Operations/createsubstrateoperation.h"

#include "Core/Operations/substratedescription.h"
#include "Model/Automaton/volumebudget.h"

#include <new>

namespace Core::Operations {

CreateSubstrateOperation::CreateSubstrateOperation(OperationContext& context)
    : ObjectOperation(QStringLiteral("Create Substrate"), 2), context(context) {}

void CreateSubstrateOperation::setSphericalSubstrate(int materialId, int sizeX, int sizeY,
                                                     int sizeZ, const Util::Vector3D& where, int x,
                                                     int y, int z, int r) {
    substrate.material = materialId;
    substrate.totalSizeX = sizeX;
    substrate.totalSizeY = sizeY;
    substrate.totalSizeZ = sizeZ;
    substrate.position = where;
    substrate.centerX = x;
    substrate.centerY = y;
    substrate.centerZ = z;
    substrate.radius = r;
    substrate.spherical = true;
    state = ParametersGiven;
}

void CreateSubstrateOperation::setCuboidSubstrate(int materialId, int sizeX, int sizeY, int sizeZ,
                                                  const Util::Vector3D& where, int cornerX,
                                                  int cornerY, int cornerZ, int width, int length,
                                                  int height) {
    substrate.material = materialId;
    substrate.totalSizeX = sizeX;
    substrate.totalSizeY = sizeY;
    substrate.totalSizeZ = sizeZ;
    substrate.position = where;
    substrate.substrateCornerX = cornerX;
    substrate.substrateCornerY = cornerY;
    substrate.substrateCornerZ = cornerZ;
    substrate.substrateSizeX = width;
    substrate.substrateSizeY = length;
    substrate.substrateSizeZ = height;
    substrate.spherical = false;
    state = ParametersGiven;
}

void CreateSubstrateOperation::step() {
    if (state == WaitingForDialog) {
        if (observer)
            observer->update();
    } else if (state == ParametersGiven) {
        state = ReadyToBuild;
        end();
    }
}

void CreateSubstrateOperation::cancel() {
    context.host.cancelCurrentOperation();
}

void CreateSubstrateOperation::refuse(const QString& reason) {
    state = Finished;
    context.consoleInput.writeMessage(name + QStringLiteral(": ") + reason);
    context.prompts.showMessage(IUserPrompts::Icon::Warning, name, reason);
    context.host.cancelCurrentOperation();
}

void CreateSubstrateOperation::end() {
    if (state != ReadyToBuild)
        return;
    const int totalSizeX = substrate.totalSizeX;
    const int totalSizeY = substrate.totalSizeY;
    const int totalSizeZ = substrate.totalSizeZ;
    if (totalSizeX < 1 || totalSizeY < 1 || totalSizeZ < 1) {
        refuse(QStringLiteral("A cell volume needs at least one cell along each axis."));
        return;
    }
    QString reason;
    if (!Model::Automaton::VolumeBudget::fits(unsigned(totalSizeX), unsigned(totalSizeY),
                                              unsigned(totalSizeZ), &reason)) {
        refuse(reason);
        return;
    }

    try {
        substrate.buildMaterials();
        volume = std::make_shared<Model::Automaton::TotalVolume>(
            unsigned(totalSizeX), unsigned(totalSizeY), unsigned(totalSizeZ), substrate.cellSizeX,
            substrate.cellSizeY, substrate.cellSizeZ, substrate.position, substrate.materials);
        // The volume holds the cells now; the list would only double the memory kept.
        std::vector<int>().swap(substrate.materials);
    } catch (const std::bad_alloc&) {
        // The budget is an estimate; memory can still run out while building.
        volume.reset();
        refuse(QStringLiteral("There is not enough memory for a cell volume of %1 x %2 x %3 "
                              "cells.")
                   .arg(totalSizeX)
                   .arg(totalSizeY)
                   .arg(totalSizeZ));
        return;
    }

    state = Finished;
    volume->getPainter().rebuild();
    context.document->addObject(volume);
    context.consoleInput.writeMessage(name + QStringLiteral(": substrate created successfully."));
    context.host.finishCurrentOperation();
}

int CreateSubstrateOperation::undo() {
    if (!volume)
        return 0;
    // A volume that leaves the document must not stay selected, or the next operation would
    // work on something the user can no longer see.
    if (volume->isSelected())
        context.selection.toggle(volume);
    context.document->removeObject(volume);
    context.notifyUpdateObservers();
    return 1;
}

void CreateSubstrateOperation::redo() {
    if (!volume)
        return;
    context.document->addObject(volume);
    context.notifyUpdateObservers();
}

} // namespace Core::Operations
