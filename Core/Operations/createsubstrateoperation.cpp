#include "Core/Operations/createsubstrateoperation.h"

#include "Core/Operations/substratedescription.h"

#include <cmath>
#include <new>

namespace Core::Operations {

CreateSubstrateOperation::CreateSubstrateOperation(OperationContext& context)
    : ObjectOperation(QStringLiteral("Create Substrate"), 2), context(context) {}

void CreateSubstrateOperation::setCellSize(double x, double y, double z) {
    cellSizeMicrometres[0] = x;
    cellSizeMicrometres[1] = y;
    cellSizeMicrometres[2] = z;
}

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
    for (const double edge : cellSizeMicrometres) {
        if (!(edge > 0.0) || !std::isfinite(edge)) {
            refuse(QStringLiteral("The cell sizes must be positive numbers of micrometres."));
            return;
        }
    }
    const double scale = context.document->getMicrometresPerSceneUnit();
    substrate.micrometresPerSceneUnit = scale;
    substrate.setCellEdgesInMicrometres(cellSizeMicrometres[0], cellSizeMicrometres[1],
                                        cellSizeMicrometres[2]);
    const Util::Vector3D corner = substrate.position;
    substrate.position = Util::Vector3D(corner.x / scale, corner.y / scale, corner.z / scale);
    QString reason;
    std::shared_ptr<Model::Automaton::TotalVolume> built;
    // A large volume takes seconds to fill and to draw: the window shows it as the other long
    // steps do rather than freezing. It adds nothing to the document until it is complete.
    try {
        context.host.runMonitored(
            name,
            [&](Util::ProgressReporter& progress) {
                progress.start(0, QStringLiteral("Filling the cells"));
                built = substrate.createVolume(reason);
                if (built) {
                    progress.start(0, QStringLiteral("Building the surface"));
                    built->getPainter().rebuild(progress);
                }
            },
            false);
    } catch (const std::bad_alloc&) {
        built.reset();
        reason = QStringLiteral("There is not enough memory to create the cell volume.");
    } catch (const std::exception& error) {
        built.reset();
        reason = QStringLiteral("The cell volume could not be created (%1).")
                     .arg(QString::fromLocal8Bit(error.what()));
    }
    if (!built) {
        refuse(reason);
        return;
    }

    volume = built;
    state = Finished;
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

bool CreateSubstrateOperation::redo() {
    if (!volume)
        return false;
    context.document->addObject(volume);
    context.notifyUpdateObservers();
    return true;
}

} // namespace Core::Operations
