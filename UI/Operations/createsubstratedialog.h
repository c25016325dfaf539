#pragma once

#include "Model/Automaton/crystalorientation.h"
#include "Model/Materials/material.h"
#include "Util/vector3d.h"

#include <QDialog>

#include <memory>
#include <vector>

namespace Ui {
class CreateSubstrateDialogForm;
}

namespace Ui::Operations {

// Sizes of a new cell volume, its place in the scene, and the cuboid or ball of material it
// starts with. The limits of the substrate boxes follow the volume's size as it is edited.
class CreateSubstrateDialog : public QDialog {
    Q_OBJECT
public:
    explicit CreateSubstrateDialog(QWidget* parent = nullptr);
    ~CreateSubstrateDialog() override;

    // One entry per material, in the given order; the first is chosen.
    void setMaterials(const std::vector<Model::Materials::Material>& materials);

    int materialId() const;
    int totalSizeX() const;
    int totalSizeY() const;
    int totalSizeZ() const;
    // The corner of the volume in the scene, in µm.
    Util::Vector3D position() const;
    // The cell edges, in µm.
    double cellSizeX() const;
    double cellSizeY() const;
    double cellSizeZ() const;
    bool isSpherical() const;
    int substrateSizeX() const;
    int substrateSizeY() const;
    int substrateSizeZ() const;
    int substrateCornerX() const;
    int substrateCornerY() const;
    int substrateCornerZ() const;
    int centerX() const;
    int centerY() const;
    int centerZ() const;
    int radius() const;
    Model::Automaton::CrystalOrientation crystalOrientation() const;
    void setCrystalOrientation(Model::Automaton::CrystalOrientation value);

public slots:
    void updateLimitX(int newValue);
    void updateLimitY(int newValue);
    void updateLimitZ(int newValue);
    void updateSubstrateDispX(int newValue);
    void updateSubstrateDispY(int newValue);
    void updateSubstrateDispZ(int newValue);
    void toggleSubsShape(bool checked);
    // Shows the volume's size in µm under its cell counts.
    void updateVolumeExtent();

private:
    std::unique_ptr<Ui::CreateSubstrateDialogForm> form;
};

} // namespace Ui::Operations
