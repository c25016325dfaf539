#pragma once

#include "Core/Operations/snapshotprocessoperation.h"

#include <optional>

namespace Core::Operations {

// What diffusion and implantation share: the doped material, chosen from the process
// registry's list, and the refusals when it or the dopable set is missing.
class DopingProcessOperation : public SnapshotProcessOperation {
public:
    using SnapshotProcessOperation::SnapshotProcessOperation;

    void setDopedMaterialId(int value) { dopedMaterialId = value; }

protected:
    // Doping changes silicon wherever it acts.
    bool changesSilicon() const override { return true; }
    QString refusal() const override;
    // Longest distance accepted from outside the dialogs, which offer no more.
    static constexpr double longestDistance = 1.0e9;

    std::optional<int> dopedMaterialId;
};

// Menu action "Doping": diffusion from the surface into dopable material.
class DopingOperation : public DopingProcessOperation {
public:
    explicit DopingOperation(OperationContext& context);

    void setDepth(float value) { depth = value; }

protected:
    bool isReady() const override { return dopedMaterialId && depth; }
    QString refusal() const override;
    void runEngine(Model::Automaton::TotalVolume& volume) override;

private:
    std::optional<float> depth;
};

// Menu action "Ion Implantation": a doped layer at a depth below the top, annealed.
class IonImplantationOperation : public DopingProcessOperation {
public:
    explicit IonImplantationOperation(OperationContext& context);

    void setAnnealingDistance(float value) { annealingDistance = value; }
    void setImplantationDepth(float value) { implantationDepth = value; }

protected:
    bool isReady() const override {
        return dopedMaterialId && implantationDepth && annealingDistance;
    }
    QString refusal() const override;
    void runEngine(Model::Automaton::TotalVolume& volume) override;

private:
    std::optional<float> implantationDepth;
    std::optional<float> annealingDistance;
};

} // namespace Core::Operations
