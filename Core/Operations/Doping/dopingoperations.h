#pragma once

#include "Core/Operations/Undo/snapshotprocessoperation.h"

#include <optional>

namespace Core::Operations {

// What diffusion and implantation share: the doped material, chosen from the process
// registry's list, and the refusals when it or the dopable set is missing.
class DopingProcessOperation : public SnapshotProcessOperation {
public:
    using SnapshotProcessOperation::SnapshotProcessOperation;

    void setDopedMaterialId(int value) { dopedMaterialId = value; }

    // Why doping into `dopedMaterialId` cannot run; empty when it can.
    static QString dopedMaterialRefusal(int dopedMaterialId);

protected:
    // Doping changes silicon wherever it acts.
    bool changesSilicon() const override { return true; }
    QString refusal() const override;

    std::optional<int> dopedMaterialId;
};

// Menu action "Doping": diffusion from the surface into dopable material.
class DopingOperation : public DopingProcessOperation {
public:
    explicit DopingOperation(OperationContext& context);

    void setDepth(float value) { depth = value; }
    // In cm⁻³; none dopes into the chosen material as it is.
    void setConcentration(std::optional<double> value) { concentration = value; }

    // The checks and the run, for this operation and for a process-list step alike.
    static QString refusalFor(int dopedMaterialId, float depth);
    static void run(Model::Automaton::TotalVolume& volume, int dopedMaterialId, float depth,
                    Util::ProgressReporter& progress = Util::ProgressReporter::none());

protected:
    bool isReady() const override { return dopedMaterialId && depth; }
    QString refusal() const override;
    std::optional<LengthRequest> requestedLength() const override {
        return LengthRequest{double(*depth), QStringLiteral("doping depth"),
                             QStringLiteral("doped")};
    }
    void runEngine(Model::Automaton::TotalVolume& volume,
                   Util::ProgressReporter& progress) override;

private:
    std::optional<float> depth;
    std::optional<double> concentration;
};

// Menu action "Ion Implantation": a doped layer at a depth below the top, annealed.
class IonImplantationOperation : public DopingProcessOperation {
public:
    explicit IonImplantationOperation(OperationContext& context);

    void setAnnealingDistance(float value) { annealingDistance = value; }
    void setImplantationDepth(float value) { implantationDepth = value; }

    static QString refusalFor(int dopedMaterialId, float implantationDepth,
                              float annealingDistance);
    static void run(Model::Automaton::TotalVolume& volume, int dopedMaterialId,
                    float implantationDepth, float annealingDistance,
                    Util::ProgressReporter& progress = Util::ProgressReporter::none());

protected:
    bool isReady() const override {
        return dopedMaterialId && implantationDepth && annealingDistance;
    }
    QString refusal() const override;
    void runEngine(Model::Automaton::TotalVolume& volume,
                   Util::ProgressReporter& progress) override;

private:
    std::optional<float> implantationDepth;
    std::optional<float> annealingDistance;
};

} // namespace Core::Operations
