#pragma once

#include "Core/Operations/Objects/objectoperation.h"
#include "Core/Operations/operationcontext.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/iobserver.h"

#include <memory>

namespace Core::Operations {

// The shape every simulation step shares: find the selected cell volume (or ask for one and
// wait for Enter), let the dialog observer fill in the values, run in end(), and report.
// Concrete processes add their values, run their engine in end() and undo their own way.
class VolumeProcessOperation : public ObjectOperation {
public:
    VolumeProcessOperation(OperationContext& context, const QString& name, int id);

    void step() override;
    void cancel() override;

    void setObserver(std::shared_ptr<Util::IObserver> value) { observer = std::move(value); }
    std::shared_ptr<Model::Automaton::TotalVolume> getTarget() const { return target; }
    // For the batch run and tests, which choose the volume without a pick.
    void setTarget(std::shared_ptr<Model::Automaton::TotalVolume> volume) {
        target = std::move(volume);
    }
    const void* subject() const override { return target.get(); }
    // The document's scale, for dialogs that show the volume's cells in µm.
    double micrometresPerSceneUnit() const {
        return context.document->getMicrometresPerSceneUnit();
    }

protected:
    // Whether every value the process needs has been set; end() cancels otherwise.
    virtual bool isReady() const = 0;
    // The volume to take when none is selected; none by default, so the user is asked to pick.
    virtual std::shared_ptr<Model::Automaton::TotalVolume> unselectedVolume() const {
        return nullptr;
    }

    void message(const QString& text) const;
    // After the engine has run and the surface is rebuilt: remember what was done to the
    // volume, tell the user, and hand the operation to the undo stack.
    void finishRun(bool latticeOutOfDate);

    OperationContext& context;
    std::shared_ptr<Model::Automaton::TotalVolume> target;
    std::shared_ptr<Util::IObserver> observer;
    QString cancelText = QStringLiteral(": Operation canceled.");
    // The first step() only asks; Enter brings the next.
    bool asked = false;
};

// How every step that works on one cell volume asks for it, whatever is selected when it
// starts: the prompt, a pick (or the selection as it is) and Enter, and only then the dialog.
// A step that sometimes skipped the prompt would take the Enter meant for it as the dialog's
// OK. `preselect`, when nothing is selected, is the volume Enter takes (it is shown selected).
void askForVolume(OperationContext& context, const QString& name,
                  const std::shared_ptr<Model::Automaton::TotalVolume>& preselect,
                  Operation& asking);

// Whether a value from outside the dialogs is a number within [lowest, highest].
inline bool isWithin(double value, double lowest, double highest) {
    return value >= lowest && value <= highest;
}

} // namespace Core::Operations
