#include "Core/Operations/createsubstrateoperation.h"

#include "Core/Operations/substratedescription.h"

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
    QString reason;
    volume = substrate.createVolume(reason);
    if (!volume) {
        refuse(reason);
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
