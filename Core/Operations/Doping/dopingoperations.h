#pragma once

#include "Core/Operations/snapshotprocessoperation.h"

namespace Core::Operations {

// What diffusion and implantation share: the doped material, chosen from the process
// registry's list, and the refusals when it or the dopable set is missing.
class DopingProcessOperation : public SnapshotProcessOperation {
public:
    using SnapshotProcessOperation::SnapshotProcessOperation;

    void setDopedMaterialId(int value) {
        dopedMaterialId = value;
        materialSet = true;
    }

protected:
    // Doping changes silicon wherever it acts.
    bool changesSilicon() const override { return true; }
    QString refusal() const override;
    // Longest distance accepted from outside the dialogs, which offer no more.
    static constexpr double longestDistance = 1.0e9;

    int dopedMaterialId = 0;
    bool materialSet = false;
};

// Menu action "Doping": diffusion from the surface into dopable material.
class DopingOperation : public DopingProcessOperation {
public:
    explicit DopingOperation(OperationContext& context);

    void setDepth(float value) {
        depth = value;
        depthSet = true;
    }

protected:
    bool isReady() const override { return materialSet && depthSet; }
    QString refusal() const override;
    void runEngine(Model::Automaton::TotalVolume& volume) override;

private:
    float depth = 0.f;
    bool depthSet = false;
};

// Menu action "Ion Implantation": a doped layer at a depth below the top, annealed.
class IonImplantationOperation : public DopingProcessOperation {
public:
    explicit IonImplantationOperation(OperationContext& context);

    void setAnnealingDistance(float value) {
        annealingDistance = value;
        annealingSet = true;
    }
    void setImplantationDepth(float value) {
        implantationDepth = value;
        depthSet = true;
    }

protected:
    bool isReady() const override { return materialSet && depthSet && annealingSet; }
    QString refusal() const override;
    void runEngine(Model::Automaton::TotalVolume& volume) override;

private:
    float implantationDepth = 0.f;
    float annealingDistance = 0.f;
    bool depthSet = false;
    bool annealingSet = false;
};

} // namespace Core::Operations
