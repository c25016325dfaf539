#pragma once

#include "Core/Operations/operation.h"

namespace Core::Operations {

class IOperationFactory {
public:
    virtual ~IOperationFactory() = default;
    // Empty for a number that names no operation.
    virtual OperationPtr create(unsigned int operationNumber) = 0;
};

} // namespace Core::Operations
