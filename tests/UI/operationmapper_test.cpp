#include "UI/operationmapper.h"

#include <QAction>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

TEST(OperationMapper, ActionsBecomeTheirNumberOrText) {
    Ui::OperationMapper mapper;
    QAction cvd(QStringLiteral("CVD"), nullptr);
    QAction front(QStringLiteral("Front"), nullptr);
    mapper.map(&cvd, 13u);
    mapper.map(&front, QStringLiteral("front"));
    QSignalSpy spy(&mapper, &Ui::OperationMapper::activated);
    cvd.trigger();
    front.trigger();
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("13"));
    EXPECT_EQ(spy.at(1).at(0).toString(), QStringLiteral("front"));
}

} // namespace CELLVANE_TEST_FILE
