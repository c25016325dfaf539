#include "Core/Operations/Objects/selection.h"
#include "Core/Operations/Undo/processhistory.h"
#include "Model/Automaton/totalvolume.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Core::Operations::Selection;
using Core::Operations::ViewInteraction;

namespace {

class CountingObserver : public Util::IObserver {
public:
    void update() override { ++count; }
    int count = 0;
};

std::shared_ptr<Model::Automaton::TotalVolume> volume() {
    return std::make_shared<Model::Automaton::TotalVolume>(1, 1, 1, 1.f, 1.f, 1.f, Util::Vector3D(),
                                                           testing_support::filledWith(1, 1));
}

} // namespace

TEST(Selection, ToggleSelectsAndDeselectsAndClearUnmarksEverything) {
    ViewInteraction view;
    Selection selection(std::make_shared<Model::Document>(), view);
    auto a = volume();
    auto b = volume();
    selection.toggle(a);
    selection.toggle(b);
    EXPECT_TRUE(a->isSelected());
    ASSERT_EQ(selection.getSelectedObjects().size(), 2u);
    selection.toggle(a);
    EXPECT_FALSE(a->isSelected());
    ASSERT_EQ(selection.getSelectedObjects().size(), 1u);
    EXPECT_EQ(selection.getSelectedObjects()[0], b);
    selection.clearSelection();
    EXPECT_FALSE(b->isSelected());
    EXPECT_TRUE(selection.getSelectedObjects().empty());
}

TEST(Selection, ModeChangesNotifyOnceAndLeavingTheModeClears) {
    ViewInteraction view;
    Selection selection(std::make_shared<Model::Document>(), view);
    auto observer = std::make_shared<CountingObserver>();
    selection.getSelectionModeObservers().push_back(observer);
    selection.setSelectionMode(true);
    selection.setSelectionMode(true);
    EXPECT_EQ(observer->count, 1);
    auto a = volume();
    selection.toggle(a);
    selection.setSelectionMode(false);
    EXPECT_EQ(observer->count, 2);
    EXPECT_FALSE(a->isSelected());
    EXPECT_FALSE(selection.pick(10, 10));
}

TEST(ProcessHistory, UnknownVolumesNeedALatticeRebuildAndClearForgetsAll) {
    Core::Operations::ProcessHistory history;
    EXPECT_TRUE(history.isLatticeRebuildNeeded(3));
    EXPECT_EQ(history.lastOperation(3), 0u);
    history.recordOperation(3, 13);
    history.setLatticeRebuildNeeded(3, false);
    EXPECT_FALSE(history.isLatticeRebuildNeeded(3));
    EXPECT_EQ(history.lastOperation(3), 13u);
    history.clear();
    EXPECT_TRUE(history.isLatticeRebuildNeeded(3));
    EXPECT_EQ(history.lastOperation(3), 0u);
}

} // namespace CELLVANE_TEST_FILE
