#pragma once

#include "Core/Operations/Objects/objectoperation.h"
#include "Core/Operations/operationcontext.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/iobserver.h"

#include <memory>

namespace Core::Operations {

// Copies one connected piece of a film into a new cell volume beside the source, optionally
// upside down and always resting on its bottom face, so that a released film can be examined
// or used as a substrate. The source is not changed. Undo takes the new volume out of the
// document, redo puts it back.
//
// A source without a cell of the chosen material gives no volume: the operation is cancelled
// with a console message saying so.
class ExtractFilm : public ObjectOperation {
public:
    enum Counter { WaitingForVolume = 0, WaitingForDialog = 1, Closed = 2 };

    explicit ExtractFilm(OperationContext& context);

    void setObserver(std::shared_ptr<Util::IObserver> value) { observer = std::move(value); }
    void setSource(std::shared_ptr<Model::Automaton::TotalVolume> volume);

    void step() override;
    void cancel() override;
    void end() override;
    int undo() override;
    bool redo() override;

    void setFilmMaterialId(int id) { filmMaterial = id; }
    void setInvert(bool value) { invert = value; }

    std::shared_ptr<Model::Automaton::TotalVolume> getSource() const { return source; }
    std::shared_ptr<Model::Automaton::TotalVolume> getResult() const { return result; }

private:
    void message(const QString& text) const;
    void close(const QString& reason, bool withBox);
    // The extracted cells, or nothing when there is nothing to extract or no memory for it
    // (`reason` then says which).
    bool extract(QString& reason, bool& withBox);

    OperationContext& context;
    std::shared_ptr<Model::Automaton::TotalVolume> source;
    std::shared_ptr<Model::Automaton::TotalVolume> result;
    std::shared_ptr<Util::IObserver> observer;
    int counter = WaitingForVolume;
    int filmMaterial = 0;
    bool invert = false;
};

} // namespace Core::Operations
