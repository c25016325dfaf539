#pragma once

#include "Core/Operations/WholeVolume/gluelayout.h"
#include "Core/Operations/Objects/objectoperation.h"
#include "Core/Operations/operationcontext.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/iobserver.h"

#include <memory>

namespace Core::Operations {

// Bonds a top cell volume onto a base cell volume and replaces both by the one result. The
// user picks the base, then the top; the dialog observer then chooses the result's size, the
// top's displacement and whether the top is turned over. Undo puts base and top back in place
// of the result; redo swaps them again.
class GlueSubstrateOperation : public ObjectOperation {
public:
    enum Counter { WaitingForBase = 0, WaitingForTop = 1, WaitingForDialog = 2, Closed = 3 };

    explicit GlueSubstrateOperation(OperationContext& context);

    void setObserver(std::shared_ptr<Util::IObserver> value) { observer = std::move(value); }

    void step() override;
    // Prints nothing: the user knows what they cancelled.
    void cancel() override;
    // Glues when base and top are chosen and differ. A result that would not fit in memory, or
    // a size or displacement that would put cells outside it, is refused with a message.
    void end() override;
    int undo() override;
    bool redo() override;

    // Chooses base and top without picks (for the batch run and tests); computes the layout.
    void setVolumes(std::shared_ptr<Model::Automaton::TotalVolume> baseVolume,
                    std::shared_ptr<Model::Automaton::TotalVolume> topVolume);
    void setFinalSize(int x, int y, int z);
    void setDisplacement(int dx, int dy);
    void setInvert(bool value) { placement.invert = value; }

    int getMinimumFinalX() const { return int(layout.minimumX); }
    int getMinimumFinalY() const { return int(layout.minimumY); }
    int getMinimumFinalZ() const { return int(layout.minimumZ); }
    int getMaximumDisplacementX() const { return layout.maximumDisplacementX; }
    int getMaximumDisplacementY() const { return layout.maximumDisplacementY; }
    int getFinalX() const { return finalX; }
    int getFinalY() const { return finalY; }
    int getFinalZ() const { return finalZ; }
    const GlueLayout& getLayout() const { return layout; }

    std::shared_ptr<Model::Automaton::TotalVolume> getBase() const { return base; }
    std::shared_ptr<Model::Automaton::TotalVolume> getTop() const { return top; }
    std::shared_ptr<Model::Automaton::TotalVolume> getResult() const { return result; }
    int getCounter() const { return counter; }

private:
    void message(const QString& text) const;
    void askFor(const QString& prompt);
    void topChosen();
    void refuse(const QString& reason);
    bool glue();

    OperationContext& context;
    std::shared_ptr<Model::Automaton::TotalVolume> base;
    std::shared_ptr<Model::Automaton::TotalVolume> top;
    std::shared_ptr<Model::Automaton::TotalVolume> result;
    std::shared_ptr<Util::IObserver> observer;
    int counter = WaitingForBase;
    GlueLayout layout;
    // Kept as given, so that negative values from outside the dialog can be refused.
    int finalX = 0;
    int finalY = 0;
    int finalZ = 0;
    GluePlacement placement;
};

} // namespace Core::Operations
