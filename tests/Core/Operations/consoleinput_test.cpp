#include "Core/Operations/consoleinput.h"
#include "support/fakeoperations.h"

#include <gtest/gtest.h>

#include <memory>

namespace CELLVANE_TEST_FILE {

using Core::Operations::ConsoleInput;
using Core::Operations::Operation;

namespace {

// Asks for whatever the test tells it to and counts its steps and ends.
class Asker : public Operation {
public:
    Asker() : Operation(QStringLiteral("Asker"), 99) {}
    void step() override { ++steps; }
    void cancel() override {}
    void end() override { ++ends; }
    int steps = 0;
    int ends = 0;
    Util::Vector4D vector{-1, -1, -1, 7};
    bool entered = false;
    QString text;
};

class RecordingObserver : public Util::IObserver {
public:
    explicit RecordingObserver(ConsoleInput& input) : input(input) {}
    void update() override { seen << input.getLastMessage(); }
    ConsoleInput& input;
    QStringList seen;
};

struct ConsoleInputTest : ::testing::Test {
    ConsoleInput input;
    std::shared_ptr<Asker> asker = std::make_shared<Asker>();
    std::shared_ptr<RecordingObserver> observer = std::make_shared<RecordingObserver>(input);
    void SetUp() override { input.getMessageObservers().push_back(observer); }

    bool acceptsVector(const QString& line) {
        input.requestVector(*asker, asker->vector, asker->entered);
        input.processInput(line);
        return asker->entered;
    }
};

} // namespace

TEST_F(ConsoleInputTest, VectorsNeedCommasAndIgnoreTrailingText) {
    EXPECT_TRUE(acceptsVector(QStringLiteral("1,2,3")));
    EXPECT_EQ(asker->vector.x, 1);
    EXPECT_EQ(asker->vector.y, 2);
    EXPECT_EQ(asker->vector.z, 3);
    EXPECT_EQ(asker->vector.w, 7);
    EXPECT_EQ(asker->steps, 1);
    EXPECT_EQ(input.getRequestKind(), ConsoleInput::None);

    EXPECT_TRUE(acceptsVector(QStringLiteral("1, 2, 3")));
    EXPECT_EQ(asker->vector.z, 3);
    EXPECT_TRUE(acceptsVector(QStringLiteral("4,5,6abc")));
    EXPECT_EQ(asker->vector.x, 4);
    EXPECT_EQ(asker->vector.z, 6);
    EXPECT_TRUE(acceptsVector(QStringLiteral("  -1.5e1 ,0.25,  1e-3")));
    EXPECT_DOUBLE_EQ(asker->vector.x, -15);
    EXPECT_DOUBLE_EQ(asker->vector.z, 0.001);
}

TEST_F(ConsoleInputTest, UnreadableVectorKeepsTheRequestAndWhatWasRead) {
    EXPECT_FALSE(acceptsVector(QStringLiteral("1 2 3")));
    EXPECT_EQ(asker->steps, 0);
    EXPECT_EQ(asker->vector.x, 1);
    EXPECT_EQ(asker->vector.y, -1);
    ASSERT_FALSE(observer->seen.isEmpty());
    EXPECT_EQ(observer->seen.last(),
              QStringLiteral("Invalid entry. Enter the x, y, z coordinates."));
    EXPECT_EQ(input.getWaitingOperation(), asker);

    input.processInput(QStringLiteral("7,8,9"));
    EXPECT_TRUE(asker->entered);
    EXPECT_EQ(asker->steps, 1);
    EXPECT_EQ(asker->vector.y, 8);
}

TEST_F(ConsoleInputTest, TextAnswerIsStoredAndStepsOnce) {
    input.requestText(*asker, asker->text);
    input.processInput(QStringLiteral("Gold film"));
    EXPECT_EQ(asker->text, QStringLiteral("Gold film"));
    EXPECT_EQ(asker->steps, 1);
    input.processInput(QStringLiteral("again"));
    EXPECT_EQ(asker->steps, 1);
}

TEST_F(ConsoleInputTest, EmptyLineStepsAnEnterRequestExactlyOnce) {
    input.requestEnter(*asker);
    input.processInput(QString());
    EXPECT_EQ(asker->steps, 1);
    input.processInput(QString());
    EXPECT_EQ(asker->steps, 1);
    input.requestEnter(*asker);
    input.processInput(QString());
    EXPECT_EQ(asker->steps, 2);
}

TEST_F(ConsoleInputTest, LinesWithoutAWaitingOperationAreIgnoredSilently) {
    input.processInput(QStringLiteral("1,2,3"));
    input.processInput(QString());
    EXPECT_TRUE(observer->seen.isEmpty());
}

TEST_F(ConsoleInputTest, ANewRequestEndsTheOperationThatWaitedBefore) {
    auto second = std::make_shared<Asker>();
    input.requestEnter(*asker);
    input.requestEnter(*asker);
    EXPECT_EQ(asker->ends, 0);
    input.requestVector(*second, second->vector, second->entered);
    EXPECT_EQ(asker->ends, 1);
    EXPECT_EQ(input.getWaitingOperation(), second);
}

TEST_F(ConsoleInputTest, ResetForgetsAStaleEnterRequest) {
    input.requestEnter(*asker);
    input.reset();
    auto next = std::make_shared<Asker>();
    input.requestVector(*next, next->vector, next->entered);
    input.processInput(QString());
    EXPECT_EQ(next->steps, 0);
}

TEST_F(ConsoleInputTest, ADestroyedWaitingOperationIsNotCalled) {
    {
        auto shortLived = std::make_shared<Asker>();
        input.requestVector(*shortLived, shortLived->vector, shortLived->entered);
    }
    input.processInput(QStringLiteral("1,2,3"));
    EXPECT_EQ(input.getWaitingOperation(), nullptr);
}

TEST_F(ConsoleInputTest, EmptyMessagesAreNotPassedOn) {
    input.writeMessage(QString());
    input.writeMessage(QStringLiteral("Isotropic Deposition: Operation finished."));
    ASSERT_EQ(observer->seen.size(), 1);
    EXPECT_EQ(input.getLastMessage(), QStringLiteral("Isotropic Deposition: Operation finished."));
}

} // namespace CELLVANE_TEST_FILE
