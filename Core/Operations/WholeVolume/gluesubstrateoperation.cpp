#include "Core/Operations/WholeVolume/gluesubstrateoperation.h"

#include "Core/Operations/Objects/documentedits.h"
#include "Core/Operations/WholeVolume/gluesubstrate.h"
#include "Model/Automaton/volumebudget.h"

#include <new>

namespace Core::Operations {

GlueSubstrateOperation::GlueSubstrateOperation(OperationContext& context)
    : ObjectOperation(QStringLiteral("Glue Volumes"), 12), context(context) {}

void GlueSubstrateOperation::message(const QString& text) const {
    context.consoleInput.writeMessage(name + QStringLiteral(": ") + text);
}

void GlueSubstrateOperation::askFor(const QString& prompt) {
    message(prompt);
    context.consoleInput.requestEnter(*this);
    context.selection.setSelectionMode(true);
}

void GlueSubstrateOperation::step() {
    if (counter == WaitingForBase) {
        base = DocumentEdits::firstSelectedVolume(context);
        if (!base) {
            askFor(QStringLiteral("select the base cell volume and press Enter/Return."));
            return;
        }
        message(QStringLiteral("base cell volume selected. Select top cell volume and press "
                               "enter"));
        counter = WaitingForTop;
        askFor(QStringLiteral("select the top cell volume and press Enter/Return."));
    } else if (counter == WaitingForTop) {
        top = DocumentEdits::firstSelectedVolume(context, base.get());
        if (!top) {
            askFor(QStringLiteral("select the top cell volume and press Enter/Return."));
            return;
        }
        message(QStringLiteral("top cell volume selected."));
        context.selection.setSelectionMode(false);
        context.notifyUpdateObservers();
        topChosen();
        DocumentEdits::openDialog(*this, observer);
    }
}

void GlueSubstrateOperation::setVolumes(std::shared_ptr<Model::Automaton::TotalVolume> baseVolume,
                                        std::shared_ptr<Model::Automaton::TotalVolume> topVolume) {
    base = std::move(baseVolume);
    top = std::move(topVolume);
    topChosen();
}

void GlueSubstrateOperation::topChosen() {
    counter = WaitingForDialog;
    layout = GlueLayout::of(*base, *top);
    setFinalSize(int(layout.minimumX), int(layout.minimumY), int(layout.minimumZ) + 1);
}

void GlueSubstrateOperation::setFinalSize(int x, int y, int z) {
    finalX = x;
    finalY = y;
    finalZ = z;
}

void GlueSubstrateOperation::setDisplacement(int dx, int dy) {
    placement.displacementX = dx;
    placement.displacementY = dy;
}

void GlueSubstrateOperation::cancel() {
    if (counter == Closed)
        return;
    counter = Closed;
    context.consoleInput.reset();
    DocumentEdits::dropIfCurrent(context, *this);
}

void GlueSubstrateOperation::refuse(const QString& reason) {
    message(reason);
    context.prompts.showMessage(IUserPrompts::Icon::Warning, name, reason);
    counter = Closed;
    context.consoleInput.reset();
    DocumentEdits::dropIfCurrent(context, *this);
}

void GlueSubstrateOperation::end() {
    if (counter != WaitingForDialog || !base || !top || base == top) {
        cancel();
        return;
    }
    if (finalX < 1 || finalY < 1 || finalZ < 1) {
        refuse(QStringLiteral("The final volume size must be at least one cell along each "
                              "axis."));
        return;
    }
    placement.sizeX = unsigned(finalX);
    placement.sizeY = unsigned(finalY);
    placement.sizeZ = unsigned(finalZ);
    const QString problem = placement.problemWith(*base, *top, layout);
    if (!problem.isEmpty()) {
        refuse(problem);
        return;
    }
    QString reason;
    if (!Model::Automaton::VolumeBudget::fits(placement.sizeX, placement.sizeY, placement.sizeZ,
                                              &reason)) {
        refuse(reason);
        return;
    }
    // Said after the volumes are glued, from the volumes as they were.
    const QString changes = GlueLayout::changesOf(*base, *top, layout);
    if (!glue()) {
        refuse(QStringLiteral("There is not enough memory for a cell volume of %1 x %2 x %3 "
                              "cells.")
                   .arg(placement.sizeX)
                   .arg(placement.sizeY)
                   .arg(placement.sizeZ));
        return;
    }
    counter = Closed;
    result->getPainter().rebuild();
    DocumentEdits::add(context, result);
    DocumentEdits::remove(context, base);
    DocumentEdits::remove(context, top);
    context.notifyUpdateObservers();
    message(QStringLiteral("volumes glued."));
    if (!changes.isEmpty())
        message(QStringLiteral("note: ") + changes + QLatin1Char('.'));
    context.consoleInput.reset();
    context.host.finishCurrentOperation();
}

bool GlueSubstrateOperation::glue() {
    try {
        result = GlueSubstrate(*base, *top, layout, placement).run();
        result->setMicrometresPerSceneUnit(base->getMicrometresPerSceneUnit());
        // One volume has one lattice: the bonded stack etches as the base wafer is cut.
        result->setCrystalOrientation(base->getCrystalOrientation());
        return true;
    } catch (const std::bad_alloc&) {
        // The budget is an estimate; memory can still run out while building.
        result.reset();
        return false;
    }
}

int GlueSubstrateOperation::undo() {
    if (!result)
        return 0;
    DocumentEdits::remove(context, result);
    DocumentEdits::add(context, base);
    DocumentEdits::add(context, top);
    context.notifyUpdateObservers();
    return 1;
}

bool GlueSubstrateOperation::redo() {
    if (!result)
        return false;
    DocumentEdits::remove(context, base);
    DocumentEdits::remove(context, top);
    DocumentEdits::add(context, result);
    context.notifyUpdateObservers();
    return true;
}

} // namespace Core::Operations
