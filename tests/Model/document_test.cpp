#include "Model/Automaton/totalvolume.h"
#include "Model/document.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::TotalVolume;

namespace {

std::shared_ptr<TotalVolume> smallVolume() {
    return std::make_shared<TotalVolume>(2, 2, 2, 1.f, 1.f, 1.f, Util::Vector3D(),
                                         testing_support::filledWith(1, 2));
}

} // namespace

TEST(Document, ObjectsComeBackInInsertionOrderAndAreFoundById) {
    Model::Document document;
    auto a = smallVolume();
    auto b = smallVolume();
    document.addObject(a);
    document.addObject(b);
    const auto objects = document.getObjects();
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0], a);
    EXPECT_EQ(objects[1], b);
    EXPECT_EQ(document.findObject(b->getId()), b);
    EXPECT_EQ(document.findObject(b->getId() + 1000), nullptr);
}

TEST(Document, RemoveTakesEveryEntryOfThatObjectAndIgnoresStrangers) {
    Model::Document document;
    auto a = smallVolume();
    auto stranger = smallVolume();
    document.addObject(a);
    document.addObject(a);
    document.removeObject(stranger);
    EXPECT_EQ(document.getObjects().size(), 2u);
    document.removeObject(a);
    EXPECT_TRUE(document.getObjects().empty());
}

TEST(Document, ClearEmptiesObjectsAndFileNameButIdsKeepIncreasing) {
    Model::Document document;
    auto before = smallVolume();
    document.addObject(before);
    document.setFileName(QStringLiteral("wafer.cvx"));
    document.clear();
    EXPECT_TRUE(document.getObjects().empty());
    EXPECT_TRUE(document.getFileName().isEmpty());
    auto after = smallVolume();
    EXPECT_GT(after->getId(), before->getId());
    document.addObject(after);
    EXPECT_EQ(document.findObject(after->getId()), after);
}

TEST(Document, AllItsVolumesShareTheDocumentsScale) {
    Model::Document document;
    EXPECT_EQ(document.getMicrometresPerSceneUnit(), 1.0);
    document.setMicrometresPerSceneUnit(0.25);
    auto first = smallVolume();
    first->setMicrometresPerSceneUnit(4.0);
    document.addObject(first);
    EXPECT_EQ(first->getMicrometresPerSceneUnit(), 0.25);
    std::unique_ptr<Model::Object> copy(first->clone());
    EXPECT_EQ(dynamic_cast<TotalVolume&>(*copy).getMicrometresPerSceneUnit(), 0.25);

    auto second = smallVolume();
    document.addObject(second);
    document.setMicrometresPerSceneUnit(2.0);
    EXPECT_EQ(first->getMicrometresPerSceneUnit(), 2.0);
    EXPECT_EQ(second->getMicrometresPerSceneUnit(), 2.0);
    for (const double unusable : {0.0, -1.0, std::nan(""), HUGE_VAL}) {
        document.setMicrometresPerSceneUnit(unusable);
        EXPECT_EQ(document.getMicrometresPerSceneUnit(), 2.0) << unusable;
    }
    document.clear();
    EXPECT_EQ(document.getMicrometresPerSceneUnit(), 1.0);
}

TEST(ObjectIdDeathTest, FirstObjectOfARunHasIdZero) {
    // The thread-safe style re-executes this binary for just this test, so the child starts
    // with the counter untouched, as a freshly started program does.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            TotalVolume first(1, 1, 1, 1.f, 1.f, 1.f, Util::Vector3D(),
                              testing_support::filledWith(1, 1));
            TotalVolume second(1, 1, 1, 1.f, 1.f, 1.f, Util::Vector3D(),
                               testing_support::filledWith(1, 1));
            std::_Exit(first.getId() == 0 && second.getId() == 1 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace CELLVANE_TEST_FILE
