#pragma once

#include "Model/Automaton/totalvolume.h"
#include "support/fakeoperations.h"

#include <gtest/gtest.h>

#include <memory>

namespace testing_support {

// An operation context without a presenter, its console messages, and one cell volume in the
// document that operations can be started on as if the user had picked it.
struct VolumeOperationTest : ::testing::Test {
    CountingHost host;
    ScriptedPrompts prompts;
    Core::Operations::OperationContext context{host, prompts};
    std::shared_ptr<MessageLog> log = std::make_shared<MessageLog>(context.consoleInput);
    std::shared_ptr<Model::Automaton::TotalVolume> volume;

    void useVolume(std::shared_ptr<Model::Automaton::TotalVolume> target) {
        volume = std::move(target);
        context.consoleInput.getMessageObservers().push_back(log);
        context.document->addObject(volume);
    }

    // Creates the operation as the current one, selects the volume and takes the first step.
    template <class Op> std::shared_ptr<Op> selected() {
        auto op = std::make_shared<Op>(context);
        context.currentOperation = op;
        context.selection.toggle(volume);
        // A step asks for its volume even with one selected; Enter takes it.
        op->step();
        context.consoleInput.processInput(QString());
        return op;
    }
};

} // namespace testing_support
