#include "Core/ProcessList/parametercodec.h"
#include "Core/ProcessList/processlistarchiver.h"
#include "support/mutations.h"

#include <QColor>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Ui::ProcessData;
using Ui::ProcessListArchiver;

TEST(ProcessListFuzz, DamagedCopiesOfAListNeverBreakTheReader) {
    ProcessData lithography(ProcessData::Photolithography);
    lithography.setParameter(QStringLiteral("Mask"),
                             QVariant::fromValue(Ui::ParameterCodec::ByteVector{1, 0, 1, 1, 0}),
                             false);
    lithography.setParameter(QStringLiteral("Color"), QColor(200, 10, 10), true);
    lithography.setParameter(QStringLiteral("Name"), QStringLiteral("resist"), true);
    ProcessData pvd(ProcessData::PVD);
    pvd.setParameter(QStringLiteral("Thickness"), 10.0, true);
    pvd.setParameter(QStringLiteral("Direction"), QVariant::fromValue(Util::Vector3D(0.5, 2, -1)),
                     true);
    pvd.setParameter(QStringLiteral("Steps"), 12, true);
    pvd.setParameter(QStringLiteral("Material"), 4u, false);
    pvd.setParameter(QStringLiteral("Top"), true, true);
    pvd.setParameter(QStringLiteral("Rate"), 0.25f, true);
    const QString fileName = QDir::home().filePath(QStringLiteral("fuzz.plst"));
    ASSERT_TRUE(ProcessListArchiver({lithography, pvd, ProcessData(ProcessData::CVD)})
                    .saveProcessList(fileName));
    QByteArray valid;
    {
        QFile file(fileName);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        valid = file.readAll();
    }

    testing_support::FileMutator mutator(valid);
    const testing_support::QuietDebugLog quiet;
    const int copies = testing_support::FileMutator::copies(2000);
    int loaded = 0;
    int refused = 0;
    ProcessListArchiver archiver;
    for (int copy = 0; copy < copies; ++copy) {
        const QByteArray bytes = mutator.next();
        {
            QFile file(fileName);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes);
        }
        QList<ProcessData> list{ProcessData(ProcessData::SaveImage)};
        if (archiver.loadProcessList(fileName, list)) {
            ++loaded;
        } else {
            ++refused;
            ASSERT_EQ(list.size(), 1) << "copy " << copy << ": " << bytes.toStdString();
            EXPECT_FALSE(archiver.errorString().isEmpty());
        }
        for (ProcessData& process : list) {
            const auto parameters = process.getParameters();
            for (auto parameter = parameters.cbegin(); parameter != parameters.cend(); ++parameter)
                Ui::ParameterCodec::encode(parameter.value()); // every value read can be written
        }
    }
    EXPECT_GT(loaded, 0);
    EXPECT_GT(refused, 0);
}

} // namespace CELLVANE_TEST_FILE
