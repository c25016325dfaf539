#pragma once

#include <QString>

namespace Model::ModelExtraction {

// A mechanical structure found in a cell volume, as a lumped circuit model.
class IStructure {
public:
    virtual ~IStructure() = default;
    // The circuit as netlist text.
    virtual QString netlist() const = 0;
};

} // namespace Model::ModelExtraction
