#include "Model/Materials/materialfactory.h"
#include "Model/Persistence/settingsfolder.h"
#include "support/qtprinters.h"
#include "support/registryfiles.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace CELLVANE_TEST_FILE {

using Model::Materials::Material;
using Model::Materials::MaterialFactory;
using TestSupport::readSettingsFile;
using TestSupport::writeSettingsFile;

namespace {

const char* const builtInMaterialsFile =
    R"xml(<?xml version="1.0" encoding="UTF-8"?>
<Materials>
    <Material version="1" name="Si" material-id="1" density="2329" poisson-ratio="0.28" young-modulus="1.88e+11" color="#FF7F7F7F"/>
    <Material version="1" name="Thermal Si02" material-id="3" density="2200" poisson-ratio="0.17" young-modulus="7e+10" color="#FF7F7FFF"/>
    <Material version="1" name="Al (bulk)" material-id="4" density="2700" poisson-ratio="0.14" young-modulus="7e+10" color="#FFB2B2B2"/>
    <Material version="1" name="Cu (bulk)" material-id="5" density="8960" poisson-ratio="0.36" young-modulus="1.28e+11" color="#FFFFCC4C"/>
    <Material version="1" name="Cr (bulk)" material-id="6" density="7190" poisson-ratio="0.21" young-modulus="2.79e+11" color="#FFCCCCCC"/>
    <Material version="1" name="Ni (bulk)" material-id="7" density="8908" poisson-ratio="0.31" young-modulus="2e+11" color="#FFCCE5CC"/>
    <Material version="1" name="Pt (bulk)" material-id="8" density="21450" poisson-ratio="0.38" young-modulus="1.68e+11" color="#FFE5E5CC"/>
    <Material version="1" name="Au (bulk)" material-id="9" density="19300" poisson-ratio="0.44" young-modulus="7.9e+10" color="#FF7FFF7F"/>
    <Material version="1" name="Ti (bulk)" material-id="10" density="4506" poisson-ratio="0.32" young-modulus="1.16e+11" color="#FF4C4C4C"/>
    <Material version="1" name="Photoresist +" material-id="11" density="1000" poisson-ratio="0.4" young-modulus="1e+09" color="#FFFF7F7F"/>
    <Material version="1" name="Photoresist -" material-id="12" density="1000" poisson-ratio="0.4" young-modulus="1e+09" color="#FFFF4CFF"/>
    <Material version="1" name="PDMS" material-id="13" density="1000" poisson-ratio="0.4" young-modulus="1e+09" color="#FFFFFFFF"/>
    <Material version="1" name="N-doped Si (100)" material-id="14" density="2329" poisson-ratio="0.28" young-modulus="1.88e+11" color="#FFFFFFAA"/>
    <Material version="1" name="P-doped Si (100)" material-id="15" density="2329" poisson-ratio="0.28" young-modulus="1.88e+11" color="#FFAAAAFF"/>
    <Material version="1" name="Poly-Si" material-id="16" density="2329" poisson-ratio="0.28" young-modulus="1.88e+11" color="#FF4C7F66"/>
    <Material version="1" name="Si3N4 (LPCVD)" material-id="17" density="3100" poisson-ratio="0.23" young-modulus="2.5e+11" color="#FFCC994C"/>
</Materials>
)xml";

float truncatedChannel(float component) {
    return float(int(component * 255.f) / 255.0);
}

} // namespace

// Runs without the fixture, so it sees exactly what static initialisation left in the fresh
// home directory this test process started with.
TEST(MaterialRegistryFirstStart, WritesTheBuiltInTableIntoTheSettingsFolder) {
    EXPECT_TRUE(QFileInfo(QDir::home().filePath(QStringLiteral("Cellvane"))).isDir());
    EXPECT_EQ(readSettingsFile(QStringLiteral("materials.xml")), QByteArray(builtInMaterialsFile));
    EXPECT_FALSE(QFileInfo::exists(TestSupport::settingsFile(QStringLiteral("materials.xml.bak"))));

    const std::vector<Material> all = MaterialFactory::getInstance()->getMaterials();
    ASSERT_EQ(all.size(), 16u);
    EXPECT_EQ(all.front().getId(), 1u);
    EXPECT_EQ(all.front().getName(), QStringLiteral("Si"));
    EXPECT_EQ(all[1].getId(), 3u); // id 2 is never used
    EXPECT_EQ(all[1].getName(), QStringLiteral("Thermal Si02"));
    EXPECT_EQ(all.back().getId(), 17u);
    EXPECT_EQ(all.back().getName(), QStringLiteral("Si3N4 (LPCVD)"));
}

using MaterialRegistry = TestSupport::RegistryTest;

TEST_F(MaterialRegistry, SecondStartReadsBackIdsNamesNumbersAndTruncatedColours) {
    const std::vector<Material> builtIn = materials->getMaterials();
    // Disturb every record so that only the file can restore them.
    for (Material material : builtIn) {
        material.setName(QStringLiteral("changed"));
        material.setDensity(-1.f);
        material.setColor(0.f, 0.f, 0.f, 0.f);
        materials->updateMaterial(material);
    }
    ASSERT_TRUE(materials->loadMaterials());

    const std::vector<Material> loaded = materials->getMaterials();
    ASSERT_EQ(loaded.size(), builtIn.size());
    for (std::size_t i = 0; i < loaded.size(); ++i) {
        const Material& before = builtIn[i];
        const Material& after = loaded[i];
        SCOPED_TRACE(before.getName().toStdString());
        EXPECT_EQ(after.getId(), before.getId());
        EXPECT_EQ(after.getName(), before.getName());
        EXPECT_FLOAT_EQ(after.getDensity(), before.getDensity());
        EXPECT_FLOAT_EQ(after.getYoungModulus(), before.getYoungModulus());
        EXPECT_FLOAT_EQ(after.getPoissonRatio(), before.getPoissonRatio());
        EXPECT_FLOAT_EQ(after.getRed(), truncatedChannel(before.getRed()));
        EXPECT_FLOAT_EQ(after.getGreen(), truncatedChannel(before.getGreen()));
        EXPECT_FLOAT_EQ(after.getBlue(), truncatedChannel(before.getBlue()));
        EXPECT_FLOAT_EQ(after.getAlpha(), truncatedChannel(before.getAlpha()));
        // Equality tolerates exactly this loss.
        EXPECT_EQ(after, before);
    }
    EXPECT_FLOAT_EQ(materials->getMaterial(1).getRed(), 127.f / 255.f);
}

TEST_F(MaterialRegistry, ColoursSurviveRepeatedSaveAndLoadWithoutDrifting) {
    materials->loadMaterials();
    const QByteArray once = readSettingsFile(QStringLiteral("materials.xml"));
    materials->saveMaterials();
    materials->loadMaterials();
    materials->saveMaterials();
    EXPECT_EQ(readSettingsFile(QStringLiteral("materials.xml")), once);
}

TEST_F(MaterialRegistry, LoadingKeepsRegisteredRecordsAndLaterDuplicatesWin) {
    writeSettingsFile(QStringLiteral("materials.xml"), R"xml(<?xml version="1.0"?>
<Materials>
    <Material name="First" material-id="40" density="1" color="#FF000000"/>
    <Material material-id="41" density="1"/>
    <Material name="Zero" material-id="0"/>
    <Material name="Word" material-id="abc"/>
    <Material name="Negative" material-id="-3"/>
    <Other name="Other" material-id="42"/>
    <Material name="Second" material-id="40" density="2" color="#80FF0000"/>
</Materials>)xml");
    ASSERT_TRUE(materials->loadMaterials());

    const Material replaced = materials->getMaterial(40);
    EXPECT_EQ(replaced.getName(), QStringLiteral("Second"));
    EXPECT_FLOAT_EQ(replaced.getDensity(), 2.f);
    EXPECT_FLOAT_EQ(replaced.getRed(), 1.f);
    EXPECT_NEAR(replaced.getAlpha(), 128.f / 255.f, 1e-6);
    EXPECT_EQ(materials->getMaterial(41).getId(), 0u);
    EXPECT_EQ(materials->getMaterial(42).getId(), 0u);
    EXPECT_EQ(materials->getMaterial(0).getName(), QStringLiteral("Empty"));
    // The file adds to the registry; it does not clear it.
    EXPECT_EQ(materials->getMaterial(1).getName(), QStringLiteral("Si"));
    EXPECT_EQ(materials->getMaterials().size(), 17u);
}

TEST_F(MaterialRegistry, BadFilesFailToLoadAndStartUpReplacesThemKeepingACopy) {
    const QByteArray truncated = QByteArray(builtInMaterialsFile).left(700);
    QByteArray binary(4096, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 7919) & 0xFF);
    const QByteArray huge = "<?xml version=\"1.0\"?><Materials><Material name=\"" +
                            QByteArray(9 * 1024 * 1024, 'x') +
                            "\" material-id=\"50\"/></Materials>";
    const QByteArray cases[] = {
        R"xml(<?xml version="1.0"?><Processes><Material name="A" material-id="50"/></Processes>)xml",
        R"xml(<?xml version="1.0"?><materials><Material name="A" material-id="50"/></materials>)xml",
        truncated,
        binary,
        QByteArray(),
        huge,
        R"xml(<?xml version="1.0"?><Materials><Material name="A" material-id="50"/><Material)xml",
    };
    int index = 0;
    for (const QByteArray& contents : cases) {
        SCOPED_TRACE(index++);
        TestSupport::restoreBuiltInRegistries();
        writeSettingsFile(QStringLiteral("materials.xml"), contents);

        EXPECT_FALSE(materials->loadOrCreateDefaults());
        EXPECT_EQ(materials->getMaterial(50).getId(), 0u);
        EXPECT_EQ(materials->getMaterials().size(), 16u);
        EXPECT_EQ(readSettingsFile(QStringLiteral("materials.xml")),
                  QByteArray(builtInMaterialsFile));
        if (!contents.isEmpty()) {
            EXPECT_EQ(readSettingsFile(QStringLiteral("materials.xml.bak")), contents);
        }
    }
}

// Found by fuzzing: records before the damage used to stay registered.
TEST_F(MaterialRegistry, DamagedFileLeavesTheRegistryAsItWas) {
    materials->updateMaterial(Material(60, QStringLiteral("Own"), 1.f, 1.f, 0.3f));
    const std::vector<Material> before = materials->getMaterials();
    writeSettingsFile(QStringLiteral("materials.xml"),
                      R"(<Materials><Material name="A" material-id="50"/>)"
                      R"(<Material name="B" material-id="1"/><Material)");
    EXPECT_FALSE(materials->loadMaterials());
    EXPECT_EQ(materials->getMaterials(), before);
    EXPECT_EQ(materials->getMaterial(1).getName(), QStringLiteral("Si"));
}

TEST_F(MaterialRegistry, MissingFileFailsToLoadAndIsWritten) {
    QFile::remove(TestSupport::settingsFile(QStringLiteral("materials.xml")));
    EXPECT_FALSE(materials->loadMaterials());
    EXPECT_FALSE(materials->loadOrCreateDefaults());
    EXPECT_EQ(readSettingsFile(QStringLiteral("materials.xml")), QByteArray(builtInMaterialsFile));
}

TEST_F(MaterialRegistry, UnwritableSettingsFolderIsTolerated) {
    const QString folder = Model::Persistence::settingsFolderPath();
    ASSERT_TRUE(QDir(folder).removeRecursively());
    {
        // A plain file where the folder should be: nothing can be created inside it.
        QFile blocker(folder);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    materials->saveMaterials();
    EXPECT_FALSE(materials->loadOrCreateDefaults());
    EXPECT_EQ(materials->getMaterials().size(), 16u);
    EXPECT_TRUE(QFileInfo(folder).isFile());
    EXPECT_EQ(QDir::home().entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("Cellvane")});
}

TEST_F(MaterialRegistry, LookupsReturnCopiesAndTheEmptyMaterialForUnknownIds) {
    Material silicon = materials->getMaterial(1);
    silicon.setName(QStringLiteral("Changed locally"));
    EXPECT_EQ(materials->getMaterial(1).getName(), QStringLiteral("Si"));

    const Material unknown = materials->getMaterial(2);
    EXPECT_EQ(unknown.getId(), 0u);
    EXPECT_EQ(unknown.getName(), QStringLiteral("Empty"));
    EXPECT_FLOAT_EQ(unknown.getRed(), 0.5f);
    EXPECT_FLOAT_EQ(unknown.getAlpha(), 1.f);
}

TEST_F(MaterialRegistry, UpdateInsertsOrReplacesButRefusesIdZero) {
    EXPECT_FALSE(materials->updateMaterial(Material(0, QStringLiteral("Nothing"), 1, 1, 1)));
    EXPECT_EQ(materials->getMaterials().size(), 16u);

    EXPECT_TRUE(materials->updateMaterial(Material(2, QStringLiteral("Two"), 1, 1, 1)));
    EXPECT_EQ(materials->getMaterials()[1].getName(), QStringLiteral("Two"));
    EXPECT_TRUE(materials->updateMaterial(Material(1, QStringLiteral("Silicon"), 1, 1, 1)));
    EXPECT_EQ(materials->getMaterial(1).getName(), QStringLiteral("Silicon"));
    // Updates stay in memory.
    EXPECT_EQ(readSettingsFile(QStringLiteral("materials.xml")), QByteArray(builtInMaterialsFile));
}

TEST_F(MaterialRegistry, GeneratedIdsAreUnregisteredAndInTheDocumentRange) {
    std::set<unsigned> seen;
    for (int i = 0; i < 2000; ++i) {
        const unsigned id = materials->generateMaterialId();
        ASSERT_GE(id, 2000u);
        ASSERT_LE(id, 32766u);
        ASSERT_EQ(materials->getMaterial(id).getId(), 0u);
        seen.insert(id);
        materials->updateMaterial(Material(id, QStringLiteral("Taken"), 1, 1, 1));
    }
    EXPECT_EQ(seen.size(), 2000u);
}

TEST_F(MaterialRegistry, GeneratedIdStillFoundWhenTheRangeIsFull) {
    for (unsigned id = 2000; id <= 32766; ++id) {
        if (id != 31000)
            materials->updateMaterial(Material(id, QStringLiteral("Taken"), 1, 1, 1));
    }
    EXPECT_EQ(materials->generateMaterialId(), 31000u);
    materials->updateMaterial(Material(31000, QStringLiteral("Taken"), 1, 1, 1));
    // A registry that fills the whole range must not hang document loading.
    const unsigned beyond = materials->generateMaterialId();
    EXPECT_GT(beyond, 32766u);
    EXPECT_EQ(materials->getMaterial(beyond).getId(), 0u);
    // Nor may it hand out an id no cell can hold once every one a cell can is taken.
    for (unsigned id = 32767; id <= 65535; ++id)
        materials->updateMaterial(Material(id, QStringLiteral("Taken"), 1, 1, 1));
    EXPECT_EQ(materials->generateMaterialId(), 0u);
}

// A record whose id no cell can hold is refused with its line and the reason; the file's other
// records load, and the next save writes the refused one back as it stood.
TEST_F(MaterialRegistry, RecordsNoCellCanHoldAreRefusedByLineAndKeptInTheFile) {
    writeSettingsFile(QStringLiteral("materials.xml"), R"xml(<?xml version="1.0"?>
<Materials>
    <Material version="1" name="Twenty" material-id="20" density="1" color="#FF00FF00"/>
    <Material version="1" name="Big" material-id="70000" density="2" color="#FFFF0000"/>
    <Material version="1" name="Last" material-id="65535" density="3" color="#FF0000FF"/>
</Materials>
)xml");
    ASSERT_TRUE(materials->loadMaterials());
    EXPECT_EQ(materials->getMaterial(20).getName(), QStringLiteral("Twenty"));
    EXPECT_EQ(materials->getMaterial(65535).getName(), QStringLiteral("Last"));
    const QStringList problems = materials->getLoadProblems();
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].startsWith(QStringLiteral("materials.xml, line 4: the material id "
                                                      "70000 is above 65535")))
        << problems[0].toStdString();
    for (const Material& material : materials->getMaterials())
        EXPECT_NE(material.getName(), QStringLiteral("Big"));

    materials->saveMaterials();
    const QByteArray saved = readSettingsFile(QStringLiteral("materials.xml"));
    EXPECT_TRUE(saved.contains(R"(name="Big" material-id="70000")")) << saved.toStdString();
    EXPECT_TRUE(saved.contains(R"(material-id="20")"));
}

} // namespace CELLVANE_TEST_FILE
