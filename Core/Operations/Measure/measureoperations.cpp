#include "Core/Operations/Measure/measureoperations.h"

#include "Model/Automaton/totalvolume.h"
#include "Model/Metrology/measurementquery.h"
#include "Model/Metrology/scale.h"

#include <cmath>

namespace Core::Operations {

using Model::Automaton::TotalVolume;
using Model::Metrology::formatValue;

namespace {

const QString micrometres = QStringLiteral("µm");

// Picked points come from the depth buffer, good to far less than a nanometre: rounded to one,
// so that a distance within a plane does not show a z of -6.2e-05 µm.
QString length(double sceneUnits, double scale) {
    return QString::number(Model::Metrology::sceneToMicrometres(sceneUnits, scale), 'g', 10) +
           QStringLiteral(" µm");
}

// The cell volume whose columns the point lies over: a selected one first, then the document's
// in order; among those, one whose height holds the point is preferred (volumes stacked on
// one another). Null when the point lies beside every volume.
std::shared_ptr<TotalVolume> volumeUnder(OperationContext& context, const Util::Vector4D& point) {
    Model::ObjectList candidates = context.selection.getSelectedObjects();
    for (const Model::ObjectPtr& object : context.document->getObjects())
        candidates.push_back(object);
    std::shared_ptr<TotalVolume> over;
    for (const Model::ObjectPtr& object : candidates) {
        auto volume = std::dynamic_pointer_cast<TotalVolume>(object);
        if (!volume)
            continue;
        const Util::Vector3D corner = volume->getPosition();
        const double extent[3] = {volume->getSizeX() * double(volume->getCellSizeX()),
                                  volume->getSizeY() * double(volume->getCellSizeY()),
                                  volume->getSizeZ() * double(volume->getCellSizeZ())};
        const double offset[3] = {point.x - corner.x, point.y - corner.y, point.z - corner.z};
        if (offset[0] < 0 || offset[0] >= extent[0] || offset[1] < 0 || offset[1] >= extent[1])
            continue;
        // A point on the top face lies exactly at the volume's height.
        if (offset[2] >= -1e-6 && offset[2] <= extent[2] + 1e-6)
            return volume;
        if (!over)
            over = volume;
    }
    return over;
}

} // namespace

PickMeasurementOperation::PickMeasurementOperation(OperationContext& context, const QString& name,
                                                   int id)
    : Operation(name, id), context(context) {}

void PickMeasurementOperation::message(const QString& text) const {
    context.consoleInput.writeMessage(name + QStringLiteral(": ") + text);
}

void PickMeasurementOperation::requestPoint(Util::Vector4D& target) {
    pickState = 3;
    context.viewInteraction.requestPick(*this, target, pickState);
}

void PickMeasurementOperation::release() {
    const OperationPtr picking = context.viewInteraction.getPickingOperation();
    if (!picking || picking.get() == this)
        context.viewInteraction.reset();
    context.consoleInput.reset();
}

void PickMeasurementOperation::cancel() {
    if (finished)
        return;
    finished = true;
    release();
    message(QStringLiteral("Operation canceled."));
    context.host.cancelCurrentOperation();
}

MeasureDistanceOperation::MeasureDistanceOperation(OperationContext& context)
    : PickMeasurementOperation(context, QStringLiteral("Measure Distance"), 50) {}

void MeasureDistanceOperation::step() {
    if (finished)
        return;
    switch (picked++) {
    case 0:
        message(QStringLiteral("Left click on the first point."));
        requestPoint(first);
        break;
    case 1:
        context.viewInteraction.setMarks({first});
        message(QStringLiteral("Left click on the second point."));
        requestPoint(second);
        break;
    default:
        end();
        break;
    }
}

void MeasureDistanceOperation::end() {
    if (finished)
        return;
    if (picked < 3) {
        cancel();
        return;
    }
    finished = true;
    release();
    context.viewInteraction.setMarks({first, second});
    const Util::Vector4D d = second - first;
    const double distance = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    const double scale = context.document->getMicrometresPerSceneUnit();
    message(QStringLiteral("%1 (x %2, y %3, z %4).")
                .arg(length(distance, scale), length(d.x, scale), length(d.y, scale),
                     length(d.z, scale)));
    context.host.finishCurrentOperation();
}

void VolumePickMeasurementOperation::step() {
    if (finished)
        return;
    if (!asked) {
        asked = true;
        message(QStringLiteral("Left click on a cell volume."));
        requestPoint(point);
        return;
    }
    end();
}

void VolumePickMeasurementOperation::end() {
    if (finished)
        return;
    if (!asked) {
        cancel();
        return;
    }
    finished = true;
    release();
    if (const auto volume = volumeUnder(context, point))
        report(*volume);
    else
        message(QStringLiteral("There is no cell volume under (%1, %2).")
                    .arg(length(point.x, context.document->getMicrometresPerSceneUnit()),
                         length(point.y, context.document->getMicrometresPerSceneUnit())));
    context.host.finishCurrentOperation();
}

StackAtPointOperation::StackAtPointOperation(OperationContext& context)
    : VolumePickMeasurementOperation(context, QStringLiteral("Stack at Point"), 51) {}

void StackAtPointOperation::report(TotalVolume& volume) {
    const Util::Vector4D point = getPoint();
    const Util::Vector3D corner = volume.getPosition();
    const double scale = Model::Metrology::micrometresPerSceneUnit(volume);
    const double x = (point.x - corner.x) * scale;
    const double y = (point.y - corner.y) * scale;
    Model::Metrology::MeasurementQuery query;
    query.kind = Model::Metrology::MeasurementQuery::Kind::Stack;
    query.numbers = {x, y};
    const Model::Metrology::Measurement stack = Model::Metrology::measure(volume, query);
    if (!stack.hasAnswer()) {
        message(QStringLiteral("No answer: %1.").arg(stack.reason));
        return;
    }
    message(QStringLiteral("Column at (%1, %2) µm (cells %3, %4) of the cell volume, top at %5:")
                .arg(QString::number(x, 'f', 3), QString::number(y, 'f', 3))
                .arg(stack.cells.front().lo[0])
                .arg(stack.cells.front().lo[1])
                .arg(formatValue(stack.quantities.front().value, micrometres)));
    int position = 0;
    for (const Model::Metrology::StackLayer& layer : stack.layers)
        message(QStringLiteral("  %1. %2: %3 (from %4 to %5)%6")
                    .arg(++position)
                    .arg(layer.name, formatValue(layer.thickness, micrometres),
                         QString::number(layer.bottom, 'g', 6), formatValue(layer.top, micrometres),
                         layer.reachesTop ? QStringLiteral(", cut off by the top of the volume: "
                                                           "it may go on above")
                                          : QString()));
}

FreeStructuresOperation::FreeStructuresOperation(OperationContext& context)
    : VolumePickMeasurementOperation(context, QStringLiteral("Free Structures"), 52) {}

void FreeStructuresOperation::report(TotalVolume& volume) {
    for (const QString& line : describe(volume))
        message(line);
}

QStringList FreeStructuresOperation::describe(TotalVolume& volume) {
    Model::Metrology::MeasurementQuery query;
    query.kind = Model::Metrology::MeasurementQuery::Kind::Free;
    const Model::Metrology::Measurement result = Model::Metrology::measure(volume, query);
    if (!result.hasAnswer())
        return {QStringLiteral("No answer: %1.").arg(result.reason)};
    const Model::Metrology::CellEdges edges = Model::Metrology::CellEdges::of(volume);
    QStringList lines;
    lines << QStringLiteral("%1 solid bodies: %2 attached, %3 anchored, %4 loose.")
                 .arg(result.bodies.size())
                 .arg(result.quantities[1].value)
                 .arg(result.quantities[2].value)
                 .arg(result.quantities[3].value);
    int n = 0;
    for (const Model::Metrology::FreeBody& body : result.bodies) {
        ++n;
        const QString where = QStringLiteral("x %1 to %2, y %3 to %4, z %5 to %6 µm")
                                  .arg(body.box.lo[0] * edges.x, 0, 'g', 6)
                                  .arg(body.box.hi[0] * edges.x, 0, 'g', 6)
                                  .arg(body.box.lo[1] * edges.y, 0, 'g', 6)
                                  .arg(body.box.hi[1] * edges.y, 0, 'g', 6)
                                  .arg(body.box.lo[2] * edges.z, 0, 'g', 6)
                                  .arg(body.box.hi[2] * edges.z, 0, 'g', 6);
        QString line = QStringLiteral("  %1. %2%3, %4, %5; contact %6, released %7")
                           .arg(n)
                           .arg(Model::Metrology::FreeBody::holdName(body.hold),
                                body.substrate ? QStringLiteral(" (substrate)") : QString(),
                                formatValue(body.volume, QStringLiteral("µm³")), where,
                                formatValue(body.contact, QStringLiteral("µm²")),
                                formatValue(body.released, QStringLiteral("µm²")));
        if (body.hold == Model::Metrology::FreeBody::Hold::Loose)
            line += QStringLiteral(" -- warning: touches nothing and would float away");
        lines << line;
    }
    return lines;
}

} // namespace Core::Operations
