#pragma once

#include "Model/Automaton/totalvolume.h"
#include "Model/layer.h"
#include "Util/iobserver.h"

#include <QString>

#include <memory>

namespace Core::Operations {

class Operation;
class OperationContext;

// Small moves shared by the operations that add, remove and pick whole objects.
namespace DocumentEdits {

// Puts an object (back) at the end of the current layer.
void add(OperationContext& context, const Model::ObjectPtr& object);
// Takes an object out of the document. An object that leaves the document must not stay
// selected, or the next operation would work on something the user can no longer see.
void remove(OperationContext& context, const Model::ObjectPtr& object);

// Moves `volume` along x to just past the cell volumes among `others` when it would overlap
// one of them, so that a volume made away from the view (a process list's substrate at the
// origin) is not hidden inside another. A gap of a tenth of its width is left.
void placeBesideOthers(const Model::ObjectList& others, Model::Automaton::TotalVolume& volume);

// The first selected cell volume other than `other`, or none.
std::shared_ptr<Model::Automaton::TotalVolume>
firstSelectedVolume(const OperationContext& context,
                    const Model::Automaton::TotalVolume* other = nullptr);

// Takes the first selected cell volume for `operation`: the selection is cleared, selection
// mode goes off, the views redraw and `taken` is printed. Without one, `prompt` is printed and
// the operation waits for Enter with selection mode on; the result is then empty.
std::shared_ptr<Model::Automaton::TotalVolume> takeSelectedVolume(OperationContext& context,
                                                                  Operation& operation,
                                                                  const QString& prompt,
                                                                  const QString& taken);

// Lets the operation's dialog observer open its dialog. The dialog may finish or cancel the
// operation, after which the presenter lets go of it; it is kept alive until the dialog closes.
void openDialog(Operation& operation, const std::shared_ptr<Util::IObserver>& observer);

// Drops `operation` as the presenter's current operation, but only if it still is: an
// operation ended from elsewhere (a newer request superseding it) must not drop its successor.
void dropIfCurrent(OperationContext& context, const Operation& operation);

} // namespace DocumentEdits

} // namespace Core::Operations
