#pragma once

#include "Core/Operations/Objects/objectoperation.h"
#include "Core/Operations/operationcontext.h"
#include "Model/layer.h"
#include "Util/vector3d.h"
#include "Util/vector4d.h"

namespace Core::Operations {

// What moving and copying share: take the selected objects, show them at a preview offset,
// and take the displacement either as a vector typed into the console or as two points picked
// in the view, the second following the pointer until the user clicks.
//
// Steps: 0 takes the selection (or waits for one), 1 has the first point or the typed vector,
// 2 follows the destination, 3 applies.
class PlacementOperation : public ObjectOperation {
public:
    enum Counter { WaitingForSelection = 0, WaitingForOrigin = 1, FollowingPointer = 2, Ready = 3 };

    void step() override;
    // Does nothing once the displacement is applied or the operation was already cancelled.
    void cancel() override;
    void end() override;

    const Model::ObjectList& getObjects() const { return objects; }
    Util::Vector4D getDistance() const { return distance; }
    int getCounter() const { return counter; }

protected:
    // `verb` starts every console message ("Move", "Copy").
    PlacementOperation(OperationContext& context, const QString& name, int id, const QString& verb,
                       const QString& selectPrompt);

    // The object that will be placed for a selected one: itself, or a copy. Empty when the
    // copy cannot be made; the operation is then refused with `refusal`.
    virtual Model::ObjectPtr placed(const Model::ObjectPtr& selected, QString& refusal) = 0;
    // Puts one placed object at its place for good.
    virtual void apply(const Model::ObjectPtr& object) = 0;
    virtual QString doneMessage() const = 0;
    // Whether the placed objects are outside the document until applied, so that the view has
    // to be given them to draw the preview.
    virtual bool previewOutsideDocument() const { return false; }

    void message(const QString& text) const;

    OperationContext& context;
    Model::ObjectList objects;
    int counter = WaitingForSelection;
    bool vectorEntered = false;
    Util::Vector3D origin;
    Util::Vector3D destination;
    Util::Vector4D distance;
    Util::Vector4D pickTarget;
    int pickState = 0;

private:
    void takeSelection();
    void originGiven();
    void destinationGiven();
    void requestDestination();
    void showPreview();
    void stopPreview();
    // Picked displacements move in whole cells of the finest moved volume, so volumes stay on
    // one another's cell lattice and their positions survive a document round trip exactly.
    Util::Vector3D cellSteps() const;

    QString verb;
    QString selectPrompt;
    bool finished = false;
};

} // namespace Core::Operations
