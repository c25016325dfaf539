#pragma once

#include "Core/Operations/Objects/objectoperation.h"
#include "Core/Operations/SiEtching/boronetchstop.h"
#include "Core/Operations/SiEtching/kohrecipe.h"
#include "Core/Operations/SiEtching/wetetchkernel.h"
#include "Core/Operations/Undo/processhistory.h"
#include "Core/Operations/Undo/runsnapshots.h"
#include "Core/Operations/operationcontext.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/iobserver.h"

#include <memory>
#include <optional>

namespace Core::Operations {

// What both silicon wet etches do around their engine: find the cell volume, ask for the
// depth through the dialog observer, bring the volume's silicon lattice up to date, run, and
// report. Undone and redone through the snapshot files; either marks the lattice out of date,
// so the next etch rebuilds it over the cells it finds.
class SiWetEtchOperation : public ObjectOperation {
public:
    SiWetEtchOperation(OperationContext& context, const QString& name, int id,
                       const QString& stateKey);

    void step() override;
    void cancel() override;
    void end() override;
    int undo() override;
    bool redo() override;
    std::optional<JournalCells> journalCells(bool undone) const override {
        return target ? snapshots.journalCells(target->getId(), undone) : std::nullopt;
    }

    // The (100) depth in µm.
    void setDepth(double value) {
        depth = value;
        optionsAccepted = true;
    }
    double getDepth() const { return depth; }
    // A KOH recipe instead of the depth: the depth then follows from its (100) rate and time
    // on the target's scale when the etch runs.
    void setRecipe(std::optional<KohRecipe> value) {
        recipe = value;
        optionsAccepted = true;
    }
    const std::optional<KohRecipe>& getRecipe() const { return recipe; }
    void setSides(WetEtchSides value) { sides = value; }
    WetEtchSides getSides() const { return sides; }
    void setEtchSide(EtchSide value) { etchSide = value; }
    EtchSide getEtchSide() const { return etchSide; }
    void setObserver(std::shared_ptr<Util::IObserver> value) { observer = std::move(value); }
    // For the batch run and tests, which choose the volume without a pick.
    void setTarget(std::shared_ptr<Model::Automaton::TotalVolume> volume);
    std::shared_ptr<Model::Automaton::TotalVolume> getTarget() const { return target; }
    const void* subject() const override { return target.get(); }
    bool isVolumeSelected() const { return volumeSelected; }
    bool areOptionsAccepted() const { return optionsAccepted; }

    // Builds the volume's lattice when the history says it is out of date (or the volume has
    // none yet). False, with the reason, when it cannot be built; `rebuilt` tells whether it
    // was. The batch run shares this rule.
    static bool prepareLattice(Model::Automaton::TotalVolume& volume, const ProcessHistory& history,
                               bool& rebuilt, QString* reason = nullptr);

protected:
    // Rate factors by cell for the run under way (boron-doped cells), empty when none.
    const std::unordered_map<Model::Automaton::CellIndex, float>& getRateFactors() const {
        return boron.rateFactors();
    }
    // Whether runEngine etches the cells of getRateFactors() slowly; an engine that does not
    // leaves boron-doped cells as they are, as every doped cell was left before.
    virtual bool takesRateFactors() const { return false; }
    // Runs off the user-interface thread while the window waits (see IOperationHost).
    virtual void runEngine(Model::Automaton::TotalVolume& volume, double depth, WetEtchSides sides,
                           Util::ProgressReporter& progress) = 0;

private:
    void message(const QString& text) const;
    bool takeSelectedVolume();
    void selectVolume(std::shared_ptr<Model::Automaton::TotalVolume> volume);

    OperationContext& context;
    std::shared_ptr<Model::Automaton::TotalVolume> target;
    std::shared_ptr<Util::IObserver> observer;
    RunSnapshots snapshots;
    double depth = 0.0;
    std::optional<KohRecipe> recipe;
    WetEtchSides sides = WetEtchSides::Closed;
    EtchSide etchSide = EtchSide::Top;
    BoronEtchStop boron;
    bool volumeSelected = false;
    // The first step() only asks for the volume; Enter brings the next.
    bool asked = false;
    bool optionsAccepted = false;
};

} // namespace Core::Operations
