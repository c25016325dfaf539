#include "Core/Operations/consoleinput.h"
#include "UI/Console/commandconsole.h"

#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Core::Operations::ConsoleInput;
using Ui::Console::CommandConsole;

namespace {

struct ConsoleTest : ::testing::Test {
    ConsoleInput input;
    CommandConsole console{input};

    void enter(const QString& line) {
        console.setInputLine(line);
        console.enterPressed();
    }
};

} // namespace

TEST_F(ConsoleTest, HistoryWalksOlderWithUpAndNewerWithDown) {
    enter(QStringLiteral("a"));
    enter(QStringLiteral("b"));
    console.upArrowPressed();
    EXPECT_EQ(console.inputLine(), QStringLiteral("b"));
    console.upArrowPressed();
    EXPECT_EQ(console.inputLine(), QStringLiteral("a"));
    console.upArrowPressed();
    EXPECT_EQ(console.inputLine(), QStringLiteral("a"));
    console.downArrowPressed();
    EXPECT_EQ(console.inputLine(), QStringLiteral("a"));
    console.downArrowPressed();
    EXPECT_TRUE(console.inputLine().isEmpty());
}

TEST_F(ConsoleTest, EmptyHistoryLeavesTheLineAlone) {
    console.setInputLine(QStringLiteral("typing"));
    console.upArrowPressed();
    console.downArrowPressed();
    EXPECT_EQ(console.inputLine(), QStringLiteral("typing"));
}

TEST_F(ConsoleTest, EnteredLinesAreEchoedAndClearedEmptyOnesAreNot) {
    enter(QStringLiteral("1,2,3"));
    EXPECT_TRUE(console.inputLine().isEmpty());
    EXPECT_EQ(console.messages(), QStringLiteral("1,2,3"));
    enter(QString());
    EXPECT_EQ(console.messages(), QStringLiteral("1,2,3"));
    enter(QStringLiteral("1,2,3"));
    console.upArrowPressed();
    console.upArrowPressed();
    EXPECT_EQ(console.inputLine(), QStringLiteral("1,2,3"));
}

TEST_F(ConsoleTest, OperationMessagesAppearAsParagraphs) {
    input.writeMessage(QStringLiteral("Create Substrate: Operation finished."));
    input.writeMessage(QString());
    input.writeMessage(QStringLiteral("Second"));
    EXPECT_EQ(console.messages(),
              QStringLiteral("Create Substrate: Operation finished.\nSecond"));
}

TEST_F(ConsoleTest, ReturnInTheInputLineSubmitsIt) {
    auto* line = console.findChild<QLineEdit*>(QStringLiteral("linCommand"));
    ASSERT_NE(line, nullptr);
    line->setText(QStringLiteral("hello"));
    QTest::keyClick(line, Qt::Key_Return);
    EXPECT_EQ(console.messages(), QStringLiteral("hello"));
    EXPECT_TRUE(line->text().isEmpty());
}

TEST_F(ConsoleTest, FormMatchesTheToolWindowLayout) {
    EXPECT_EQ(console.windowTitle(), QStringLiteral("Console"));
    EXPECT_TRUE(console.windowFlags() & Qt::Tool);
    EXPECT_EQ(console.objectName(), QStringLiteral("CommandConsoleForm"));
}

} // namespace CELLVANE_TEST_FILE
