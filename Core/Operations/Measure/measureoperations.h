#pragma once

#include "Core/Operations/operation.h"
#include "Core/Operations/operationcontext.h"
#include "Util/vector4d.h"

#include <QStringList>

namespace Model::Automaton {
class TotalVolume;
}

namespace Core::Operations {

// The window's measurements by picking in the 3D view. They read cells only, so they are never
// on the undo stack; their results go to the console in µm.
class PickMeasurementOperation : public Operation {
public:
    void cancel() override;

protected:
    PickMeasurementOperation(OperationContext& context, const QString& name, int id);

    void message(const QString& text) const;
    // Asks the view for the next clicked point, delivered to `target`.
    void requestPoint(Util::Vector4D& target);
    // Leaves the view and the console as they were before the operation.
    void release();

    OperationContext& context;
    int pickState = 0;
    bool finished = false;
};

// "Measure Distance": two points picked in the view; the console gets the distance between
// them and its x, y and z components.
class MeasureDistanceOperation : public PickMeasurementOperation {
public:
    explicit MeasureDistanceOperation(OperationContext& context);

    void step() override;
    void end() override;

    Util::Vector4D getFirst() const { return first; }
    Util::Vector4D getSecond() const { return second; }

private:
    int picked = 0;
    Util::Vector4D first;
    Util::Vector4D second;
};

// A measurement of the cell volume under one point picked in the view.
class VolumePickMeasurementOperation : public PickMeasurementOperation {
public:
    void step() override;
    void end() override;

    Util::Vector4D getPoint() const { return point; }

protected:
    using PickMeasurementOperation::PickMeasurementOperation;

    // Writes the console lines of the measurement of `volume` at the picked point.
    virtual void report(Model::Automaton::TotalVolume& volume) = 0;

private:
    bool asked = false;
    Util::Vector4D point;
};

// "Stack at Point": one point picked on a cell volume; the console gets the layers of the
// column of cells under it, from the top down.
class StackAtPointOperation : public VolumePickMeasurementOperation {
public:
    explicit StackAtPointOperation(OperationContext& context);

protected:
    void report(Model::Automaton::TotalVolume& volume) override;
};

// "Free Structures": one point picked on a cell volume; the console gets its solid bodies and
// what holds each (attached, anchored, loose), a loose one as a warning.
class FreeStructuresOperation : public VolumePickMeasurementOperation {
public:
    explicit FreeStructuresOperation(OperationContext& context);

    // The console lines of a classification, shared with the release etch.
    static QStringList describe(Model::Automaton::TotalVolume& volume);

protected:
    void report(Model::Automaton::TotalVolume& volume) override;
};

} // namespace Core::Operations
