#include "Core/Operations/Objects/copyobject.h"

#include "Core/Operations/Objects/documentedits.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Automaton/volumebudget.h"

#include <new>

namespace Core::Operations {

CopyObject::CopyObject(OperationContext& context)
    : PlacementOperation(context, QStringLiteral("Copy Objects"), 1, QStringLiteral("Copy"),
                         QStringLiteral("Select the object(s) to be copied and press Enter")) {}

Model::ObjectPtr CopyObject::placed(const Model::ObjectPtr& selected, QString& refusal) {
    auto* volume = dynamic_cast<Model::Automaton::TotalVolume*>(selected.get());
    if (volume && !Model::Automaton::VolumeBudget::fits(volume->getSizeX(), volume->getSizeY(),
                                                        volume->getSizeZ(), &refusal))
        return nullptr;
    try {
        const Model::ObjectPtr copy(selected->clone());
        // A copy starts without a surface; it needs one to be seen while it is placed.
        if (auto* copiedVolume = dynamic_cast<Model::Automaton::TotalVolume*>(copy.get()))
            copiedVolume->getPainter().rebuild();
        return copy;
    } catch (const std::bad_alloc&) {
        refusal = QStringLiteral("There is not enough memory to copy the object.");
        return nullptr;
    }
}

void CopyObject::apply(const Model::ObjectPtr& object) {
    object->translate(distance);
    DocumentEdits::add(context, object);
}

int CopyObject::undo() {
    for (const Model::ObjectPtr& object : objects)
        DocumentEdits::remove(context, object);
    context.notifyUpdateObservers();
    return 1;
}

bool CopyObject::redo() {
    for (const Model::ObjectPtr& object : objects)
        DocumentEdits::add(context, object);
    context.notifyUpdateObservers();
    return true;
}

} // namespace Core::Operations
