#pragma once

#include "Core/Operations/operation.h"
#include "Core/Operations/operationcontext.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/iobserver.h"

#include <array>
#include <memory>

namespace Core::Operations {

// Sets the box of cells a volume's painter shows, so that its inside can be seen. Changes no
// cell and is not undoable. The limits live in the painter; a dialog may set them several
// times (previews) before the operation ends or is cancelled.
class CutCellVolumeOperation : public Operation {
public:
    using Corner = std::array<int, 3>;
    enum Counter { WaitingForVolume = 0, WaitingForDialog = 1, LimitsSet = 2, Closed = 3 };

    explicit CutCellVolumeOperation(OperationContext& context);

    void setObserver(std::shared_ptr<Util::IObserver> value) { observer = std::move(value); }
    void setTarget(std::shared_ptr<Model::Automaton::TotalVolume> volume);

    void step() override;
    void cancel() override;
    void end() override;

    void getCutLimits(Corner& lower, Corner& upper) const;
    Corner getVolumeSize() const;
    // Limits outside the volume are brought inside it (a lower limit from 0 to size - 1, an
    // upper one from lower + 1 to size). With `rebuild` the views show them at once.
    void setCutLimits(const Corner& lower, const Corner& upper, bool rebuild);

    std::shared_ptr<Model::Automaton::TotalVolume> getTarget() const { return target; }

private:
    void message(const QString& text) const;
    void redraw();

    OperationContext& context;
    std::shared_ptr<Model::Automaton::TotalVolume> target;
    std::shared_ptr<Util::IObserver> observer;
    int counter = WaitingForVolume;
    bool rebuilt = false;
};

} // namespace Core::Operations
