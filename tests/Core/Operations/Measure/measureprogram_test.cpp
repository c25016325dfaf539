#include "support/exportscenes.h"

#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace testing_support;

namespace {

struct Measured {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

Measured measure(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(CELLVANE_MEASURE_PROGRAM), arguments);
    if (!process.waitForFinished(60000))
        return {-1, {}, process.errorString()};
    return {process.exitCode(), process.readAllStandardOutput(),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

TEST(MeasureProgram, AnswersAsJsonAndExitsWithMissingAnswerAndUsageCodes) {
    QTemporaryDir dir;
    // Silicon 4 cells high with one oxide cell on it, cells 0.5 µm high.
    const auto film = makeVolume(
        3, 3, 8,
        [](int x, int y, int z) { return z < 4 ? 1 : (x == 1 && y == 1 && z == 4 ? 3 : 0); }, 1.f,
        1.f, 0.5f);
    const QString one = writeDocument(dir.filePath(QStringLiteral("one.cvx")), {film});
    const QString two = writeDocument(dir.filePath(QStringLiteral("two.cvx")), {film, film});

    const Measured answered =
        measure({two, QStringLiteral("--volume"), QStringLiteral("2"),
                 QStringLiteral("thickness:Si@0.5,0.5"), QStringLiteral("stack@1.5,1.5")});
    ASSERT_EQ(answered.exitCode, 0) << answered.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(answered.out).object();
    EXPECT_EQ(json.value(QStringLiteral("volume")).toInt(), 2);
    const QJsonArray results = json.value(QStringLiteral("measurements")).toArray();
    ASSERT_EQ(results.size(), 2);
    const QJsonObject thickness = results[0].toObject();
    EXPECT_TRUE(thickness.value(QStringLiteral("answer")).toBool());
    EXPECT_EQ(thickness.value(QStringLiteral("values"))
                  .toArray()[0]
                  .toObject()
                  .value(QStringLiteral("value")),
              QJsonValue(2.0));
    const QJsonArray layers = results[1].toObject().value(QStringLiteral("layers")).toArray();
    ASSERT_EQ(layers.size(), 2);
    EXPECT_EQ(layers[0].toObject().value(QStringLiteral("material")).toString(),
              QStringLiteral("Thermal Si02"));
    EXPECT_EQ(layers[0].toObject().value(QStringLiteral("top")), QJsonValue(2.5));

    struct Case {
        QStringList arguments;
        int exitCode;
        QString says;
    };
    const std::vector<Case> cases = {
        {{QStringLiteral("--help")}, 0, QStringLiteral("undercut:MASK/UNDER@AXIS,X,Y")},
        {{}, 2, QStringLiteral("no document given")},
        {{one}, 2, QStringLiteral("no measurement given")},
        {{one, QStringLiteral("stack@1")}, 2, QStringLiteral("stack@1: '1' is no place for stack")},
        {{one, QStringLiteral("thickness:Gold@1,1")}, 2, QStringLiteral("no material is called")},
        {{one, QStringLiteral("--volume"), QStringLiteral("x"), QStringLiteral("volumes")},
         2,
         QStringLiteral("--volume takes a number from 1")},
        {{two, QStringLiteral("volumes")}, 2, QStringLiteral("holds 2 cell volumes")},
        {{dir.filePath(QStringLiteral("none.cvx")), QStringLiteral("volumes")},
         2,
         QStringLiteral("Unable to open")},
        {{one, QStringLiteral("volumes"), QStringLiteral("top@5,1")},
         1,
         QStringLiteral("top@5,1: no answer: x = 5 µm lies outside the volume")},
        {{one, QStringLiteral("thickness:SiO2@0.5,0.5")},
         1,
         QStringLiteral("the column at (0.5, 0.5) µm holds no SiO2")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const Measured ran = measure(c.arguments);
        EXPECT_EQ(ran.exitCode, c.exitCode) << ran.err.toStdString();
        EXPECT_TRUE((ran.err + QString::fromUtf8(ran.out)).contains(c.says))
            << ran.err.toStdString() << ran.out.toStdString();
        // A missing answer is still reported on standard output, as missing.
        if (c.exitCode == 1) {
            EXPECT_TRUE(ran.out.contains("\"answer\": false"));
        }
    }
}

} // namespace CELLVANE_TEST_FILE
