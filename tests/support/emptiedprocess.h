#pragma once

#include "Model/Process/processfactory.h"

namespace testing_support {

// Empties the compatible-material list of one registered process for a scope.
class EmptiedProcess {
public:
    explicit EmptiedProcess(const QString& name)
        : saved(Model::Process::ProcessFactory::getInstance()->getProcess(name)) {
        Model::Process::ProcessFactory::getInstance()->updateProcess(
            Model::Process::Process(saved.getName(), saved.getId()));
    }
    ~EmptiedProcess() { Model::Process::ProcessFactory::getInstance()->updateProcess(saved); }

private:
    Model::Process::Process saved;
};

} // namespace testing_support
