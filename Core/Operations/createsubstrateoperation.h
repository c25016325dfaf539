#pragma once

#include "Core/Operations/Objects/objectoperation.h"
#include "Core/Operations/operationcontext.h"
#include "Core/Operations/substratedescription.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/iobserver.h"
#include "Util/vector3d.h"

#include <memory>

namespace Core::Operations {

// Creates a cell volume holding a cuboid or spherical substrate and adds it to the document.
// Activation asks the attached observer for the values (its dialog); the setters move to
// state 1, step() to 2 and end() builds. Undo and redo take the same volume out of the
// document and put it back.
class CreateSubstrateOperation : public ObjectOperation {
public:
    // Finished: built or refused; nothing more happens.
    enum State { WaitingForDialog = 0, ParametersGiven = 1, ReadyToBuild = 2, Finished = 3 };

    explicit CreateSubstrateOperation(OperationContext& context);

    void setObserver(std::shared_ptr<Util::IObserver> value) { observer = std::move(value); }

    // Cell edges in µm; 1 µm cubes unless set. Positions given to the setters below are in µm
    // as well; the volume is built in the scene units of the document's scale.
    void setCellSize(double x, double y, double z);
    // The wafer's surface plane; (100) unless set.
    void setCrystalOrientation(Model::Automaton::CrystalOrientation value) {
        substrate.crystalOrientation = value;
    }

    void setSphericalSubstrate(int material, int totalSizeX, int totalSizeY, int totalSizeZ,
                               const Util::Vector3D& position, int centerX, int centerY,
                               int centerZ, int radius);
    void setCuboidSubstrate(int material, int totalSizeX, int totalSizeY, int totalSizeZ,
                            const Util::Vector3D& position, int substrateCornerX,
                            int substrateCornerY, int substrateCornerZ, int substrateSizeX,
                            int substrateSizeY, int substrateSizeZ);

    void step() override;
    // Drops the operation; prints nothing.
    void cancel() override;
    // Builds only in state 2, and only once. A volume that cannot be held in memory is refused
    // with a message before anything is allocated, and the operation is dropped.
    void end() override;
    int undo() override;
    bool redo() override;

    std::shared_ptr<Model::Automaton::TotalVolume> getVolume() const { return volume; }
    const void* subject() const override { return volume.get(); }
    int getState() const { return state; }

private:
    void refuse(const QString& reason);

    OperationContext& context;
    std::shared_ptr<Model::Automaton::TotalVolume> volume;
    SubstrateDescription substrate;
    double cellSizeMicrometres[3] = {1.0, 1.0, 1.0};
    int state = WaitingForDialog;
    std::shared_ptr<Util::IObserver> observer;
};

} // namespace Core::Operations
