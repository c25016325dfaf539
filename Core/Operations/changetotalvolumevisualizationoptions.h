#pragma once

#include "Core/Operations/operation.h"
#include "Core/Operations/operationcontext.h"
#include "Core/Operations/volumevisualizationoptions.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/iobserver.h"

#include <memory>

namespace Core::Operations {

// Sets how one cell volume is drawn (the atomistic switches, the outlines of empty cells and
// the surface algorithm) and recolours every volume from the material registry, whose colours
// the dialog may have just edited. Changes no cell, so it is not undoable.
//
// The dialog observer sits in one slot shared by every instance, refilled by each activation.
class ChangeTotalVolumeVisualizationOptions : public Operation {
public:
    using Options = VolumeVisualizationOptions;

    explicit ChangeTotalVolumeVisualizationOptions(OperationContext& context);

    void step() override;
    void cancel() override;
    void end() override;

    // Accepted only while the dialog is open (step 1).
    void setOptions(const Options& values);

    std::shared_ptr<Model::Automaton::TotalVolume> getVolume() const { return volume; }
    // What the volume's painter draws now, for the dialog to start from.
    static Options optionsOf(Model::Automaton::TotalVolume& target);

    static void setObserver(std::shared_ptr<Util::IObserver> value);
    static std::shared_ptr<Util::IObserver> getObserver();

private:
    void message(const QString& text) const;

    OperationContext& context;
    std::shared_ptr<Model::Automaton::TotalVolume> volume;
    int counter = 0;
    bool closed = false;
    Options options;
};

} // namespace Core::Operations
