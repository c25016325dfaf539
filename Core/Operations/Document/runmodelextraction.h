#pragma once

#include "Core/Operations/operation.h"
#include "Core/Operations/operationcontext.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/ModelExtraction/extractedmodel.h"
#include "Model/ModelExtraction/istructure.h"
#include "Util/iobserver.h"

#include <memory>

namespace Core::Operations {

// Extracts a lumped model of the cantilevers of a cell volume in three steps the user runs
// from a small dialog that stays open beside the view: the volume is cut into boxes of one
// material (shown in place of its surface), the free-standing beams among them are found
// (shown beside the volume), and their netlist is written. Closing the dialog ends the
// operation and takes the intermediate models out of the document again. Changes no cell, so
// there is nothing to undo.
class RunModelExtraction : public Operation {
public:
    enum Step { WaitingForVolume = 0, DialogOpen = 1, Ended = 2 };

    explicit RunModelExtraction(OperationContext& context);

    void step() override;
    void cancel() override;
    void end() override;

    // Step one: hides the volume's surface and shows its boxes instead. False, with a console
    // message, when the boxes do not fit in memory (the surface then stays).
    bool stepOne();
    // Step two: looks for beams in the boxes and shows them beside the volume. False when
    // step one has not run; true otherwise, beams or not.
    bool stepTwo();
    // Step three: the netlist of the beams found, or an empty text when there are none.
    QString stepThree() const;

    // What the dialog does with the text of step three: an empty text is reported as "No
    // model data"; otherwise the user picks a file and the text is written to it. True when a
    // file was written.
    bool saveNetlist(const QString& text);

    void setDialogObserver(std::shared_ptr<Util::IObserver> observer) {
        dialogObserver = std::move(observer);
    }
    void setDestroyDialogObserver(std::shared_ptr<Util::IObserver> observer) {
        destroyDialogObserver = std::move(observer);
    }

    int getStep() const { return stepCounter; }
    std::shared_ptr<Model::Automaton::TotalVolume> getVolume() const { return volume; }
    std::shared_ptr<Model::ModelExtraction::ExtractedModel> getPreprocessingModel() const {
        return preprocessingModel;
    }
    std::shared_ptr<Model::ModelExtraction::ExtractedModel> getBeamModel() const {
        return beamModel;
    }
    std::shared_ptr<Model::ModelExtraction::IStructure> getStructure() const { return structure; }

    static QString netlistFilter() { return QStringLiteral("Circuit files *.cir"); }

private:
    void message(const QString& text) const;
    // Takes the models out of the document and shows the volume's surface again.
    void restoreView();

    OperationContext& context;
    int stepCounter = WaitingForVolume;
    std::shared_ptr<Model::Automaton::TotalVolume> volume;
    std::shared_ptr<Model::ModelExtraction::ExtractedModel> preprocessingModel;
    std::shared_ptr<Model::ModelExtraction::ExtractedModel> beamModel;
    // The boxes step two looks at.
    std::shared_ptr<Model::ModelExtraction::ExtractedModel> envelopeModel;
    std::shared_ptr<Model::ModelExtraction::IStructure> structure;
    std::shared_ptr<Util::IObserver> dialogObserver;
    std::shared_ptr<Util::IObserver> destroyDialogObserver;
};

} // namespace Core::Operations
