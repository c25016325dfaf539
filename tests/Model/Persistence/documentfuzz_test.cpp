#include "Model/Automaton/volumebudget.h"
#include "Model/Persistence/documentarchiver.h"
#include "Model/Persistence/totalvolumearchiver.h"
#include "Model/document.h"
#include "support/mutations.h"
#include "support/registryfiles.h"
#include "support/scenes.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::TotalVolume;
using Model::Automaton::VolumeBudget;
using Model::Persistence::ArchiverTable;
using Model::Persistence::DocumentArchiver;
using Model::Persistence::TotalVolumeArchiver;
using ReadStatus = DocumentArchiver::ReadStatus;

namespace {

class DocumentFuzz : public TestSupport::RegistryTest {
protected:
    void SetUp() override {
        TestSupport::RegistryTest::SetUp();
        // Mutated sizes may ask for any volume; keep what they may allocate small so that the
        // run stays short. A few thousand cells still pass.
        VolumeBudget::setAvailableBytesForTesting(256 << 10);
    }
    void TearDown() override {
        VolumeBudget::setAvailableBytesForTesting(0);
        TestSupport::RegistryTest::TearDown();
    }

    ArchiverTable archivers{{1, std::make_shared<TotalVolumeArchiver>()}};
};

QByteArray validDocument(const ArchiverTable& archivers) {
    auto materials = Model::Materials::MaterialFactory::getInstance();
    materials->updateMaterial(Model::Materials::Material(
        20, QStringLiteral("Gold"), 19300.f, 7.9e10f, 0.44f, Util::Vector4D(0.0, 1.0, 0.0, 1.0)));
    Model::Document document;
    document.addObject(testing_support::makeVolume(
        4, 3, 2, [](int x, int y, int z) { return (x + y + z) % 3 == 0 ? 20 : (x + z) % 2; },
        0.5f));
    auto second = testing_support::makeVolume(2, 2, 3, [](int, int y, int) { return y ? 3 : 0; });
    second->translate(Util::Vector4D(4.0, -1.0, 2.5, 0.0));
    document.addObject(second);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    DocumentArchiver(archivers).write(&buffer, document);
    materials->createDefaultMaterials();
    return buffer.data();
}

} // namespace

TEST_F(DocumentFuzz, DamagedCopiesOfADocumentNeverBreakTheReader) {
    const QByteArray valid = validDocument(archivers);
    testing_support::FileMutator mutator(valid);
    const testing_support::QuietDebugLog quiet;
    const int copies = testing_support::FileMutator::copies(2000);
    int complete = 0;
    int damaged = 0;
    int rejected = 0;
    for (int copy = 0; copy < copies; ++copy) {
        const QByteArray bytes = mutator.next();
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        const auto result = DocumentArchiver(archivers).read(&buffer);

        switch (result.status) {
        case ReadStatus::Complete:
            ++complete;
            break;
        case ReadStatus::Damaged:
            ++damaged;
            break;
        case ReadStatus::NotADocument:
        case ReadStatus::Refused:
            ++rejected;
            EXPECT_TRUE(result.status == ReadStatus::NotADocument || !result.error.isEmpty());
            break;
        }
        for (const auto& object : result.objects) {
            const auto volume = std::dynamic_pointer_cast<TotalVolume>(object);
            ASSERT_TRUE(volume) << "copy " << copy;
            EXPECT_GE(volume->getSizeX(), 1u);
            EXPECT_GE(volume->getSizeY(), 1u);
            EXPECT_GE(volume->getSizeZ(), 1u);
            EXPECT_GT(volume->getCellSizeX(), 0.f);
        }
        for (const QString& warning : result.warnings)
            EXPECT_EQ(warning, DocumentArchiver::materialWarning());
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "copy " << copy << ": " << bytes.toStdString();
            break;
        }
        // Each copy meets the registry as a fresh program run would.
        materials->createDefaultMaterials();
    }
    // The mutations must reach every outcome, or the test proves little.
    EXPECT_GT(complete, 0);
    EXPECT_GT(damaged, 0);
    EXPECT_GT(rejected, 0);
}

} // namespace CELLVANE_TEST_FILE
