#include "Model/Process/processfactory.h"
#include "support/qtprinters.h"
#include "support/registryfiles.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Model::Materials::Material;
using Model::Process::Process;
using Model::Process::ProcessFactory;
using TestSupport::readSettingsFile;
using TestSupport::writeSettingsFile;

namespace {

const char* const builtInProcessesFile = R"(<?xml version="1.0" encoding="UTF-8"?>
<Processes>
    <Process version="1" name="Si Wet Etching" process-id="1">
        <CompatibleMaterials>1</CompatibleMaterials>
    </Process>
    <Process version="1" name="DRIE" process-id="2">
        <CompatibleMaterials>1</CompatibleMaterials>
    </Process>
    <Process version="1" name="CVD" process-id="3">
        <CompatibleMaterials>3;16;17</CompatibleMaterials>
    </Process>
    <Process version="1" name="PVD" process-id="4">
        <CompatibleMaterials>4;5;6;7;8;9;10</CompatibleMaterials>
    </Process>
    <Process version="1" name="Film Etching" process-id="5">
        <CompatibleMaterials>3;4;5;6;7;8;9;10;11;12;13</CompatibleMaterials>
    </Process>
    <Process version="1" name="Photolithography" process-id="6">
        <CompatibleMaterials>3;4;5;6;7;8;9;10;11;12;13</CompatibleMaterials>
    </Process>
    <Process version="1" name="Planarization" process-id="7">
        <CompatibleMaterials></CompatibleMaterials>
    </Process>
    <Process version="1" name="Spin Coating / Soft Lithography" process-id="8">
        <CompatibleMaterials>11;12;13</CompatibleMaterials>
    </Process>
    <Process version="1" name="Isotropic Deposition" process-id="9">
        <CompatibleMaterials>3;4;5;6;7;8;9;10</CompatibleMaterials>
    </Process>
    <Process version="1" name="Isotropic Etching" process-id="10">
        <CompatibleMaterials>1;3;4;5;6;7;8;9;10;11;12;13;17</CompatibleMaterials>
    </Process>
    <Process version="1" name="Electroplating" process-id="11">
        <CompatibleMaterials>4;5;6;7;8;9;10</CompatibleMaterials>
    </Process>
    <Process version="1" name="Simple Si Oxidation" process-id="12">
        <CompatibleMaterials>1;14;15;16</CompatibleMaterials>
    </Process>
    <Process version="1" name="Simple Doping" process-id="13">
        <CompatibleMaterials>1;14;15;16</CompatibleMaterials>
    </Process>
    <Process version="1" name="Ion Implantation" process-id="14">
        <CompatibleMaterials>1;14;15;16</CompatibleMaterials>
    </Process>
</Processes>
)";

std::list<uint32_t> ids(std::initializer_list<uint32_t> values) {
    return std::list<uint32_t>(values);
}

} // namespace

TEST(ProcessRegistryFirstStart, WritesTheBuiltInTableIntoTheSettingsFolder) {
    EXPECT_EQ(readSettingsFile(QStringLiteral("processes.xml")), QByteArray(builtInProcessesFile));
    const std::vector<Process> all = ProcessFactory::getInstance()->getProcesses();
    ASSERT_EQ(all.size(), 14u);
    EXPECT_EQ(all[2].getName(), QStringLiteral("CVD"));
    EXPECT_EQ(all[2].getCompatibleMaterialIds(), ids({3, 16, 17}));
}

using ProcessRegistry = TestSupport::RegistryTest;

TEST_F(ProcessRegistry, SecondStartReadsTheSameProcessesBack) {
    const std::vector<Process> builtIn = processes->getProcesses();
    for (const Process& process : builtIn)
        processes->updateProcess(Process(QStringLiteral("changed"), process.getId(), {99}));
    ASSERT_TRUE(processes->loadProcesses());
    const std::vector<Process> loaded = processes->getProcesses();
    ASSERT_EQ(loaded.size(), builtIn.size());
    for (std::size_t i = 0; i < loaded.size(); ++i) {
        EXPECT_EQ(loaded[i].getId(), builtIn[i].getId());
        EXPECT_EQ(loaded[i].getName(), builtIn[i].getName());
        EXPECT_EQ(loaded[i].getCompatibleMaterialIds(), builtIn[i].getCompatibleMaterialIds());
    }
}

TEST_F(ProcessRegistry, GetProcessByNameIsExactAndCaseSensitive) {
    const Process planarization = processes->getProcess(QStringLiteral("Planarization"));
    EXPECT_EQ(planarization.getId(), 7u);
    EXPECT_TRUE(planarization.getCompatibleMaterialIds().empty());

    const Process lower = processes->getProcess(QStringLiteral("planarization"));
    EXPECT_EQ(lower.getId(), 0u);
    EXPECT_TRUE(lower.getName().isEmpty());
    EXPECT_TRUE(lower.getCompatibleMaterialIds().empty());
    EXPECT_EQ(processes->getProcess(QStringLiteral("CVD ")).getId(), 0u);

    // With two processes of one name the lower id is found.
    processes->updateProcess(Process(QStringLiteral("CVD"), 2, {5}));
    EXPECT_EQ(processes->getProcess(QStringLiteral("CVD")).getId(), 2u);
}

TEST_F(ProcessRegistry, GetProcessByIdAndUpdate) {
    EXPECT_EQ(processes->getProcess(4u).getName(), QStringLiteral("PVD"));
    EXPECT_EQ(processes->getProcess(15u).getId(), 0u);

    EXPECT_FALSE(processes->updateProcess(Process(QStringLiteral("None"), 0)));
    EXPECT_TRUE(processes->updateProcess(Process(QStringLiteral("Lift-off"), 15, {11, 12})));
    EXPECT_EQ(processes->getProcesses().size(), 15u);
    EXPECT_EQ(processes->getProcesses().back().getName(), QStringLiteral("Lift-off"));
    // Updates are not written until saveProcesses.
    EXPECT_EQ(readSettingsFile(QStringLiteral("processes.xml")), QByteArray(builtInProcessesFile));
    processes->saveProcesses();
    EXPECT_TRUE(readSettingsFile(QStringLiteral("processes.xml"))
                    .contains("<Process version=\"1\" name=\"Lift-off\" process-id=\"15\">\n"
                              "        <CompatibleMaterials>11;12</CompatibleMaterials>"));
}

TEST_F(ProcessRegistry, LoadingSkipsBadProcessesWithTheirLists) {
    writeSettingsFile(QStringLiteral("processes.xml"), R"(<?xml version="1.0"?>
<Processes>
    <Process version="1" name="Word id" process-id="abc">
        <CompatibleMaterials>5</CompatibleMaterials>
    </Process>
    <Process version="x" name="Word version" process-id="20">
        <CompatibleMaterials>5</CompatibleMaterials>
    </Process>
    <Process version="1" name="" process-id="21"><CompatibleMaterials>5</CompatibleMaterials></Process>
    <Process version="1" name="Zero" process-id="0"><CompatibleMaterials>5</CompatibleMaterials></Process>
    <Process name="Gappy" process-id="22">
        <CompatibleMaterials>3;;16;x</CompatibleMaterials>
    </Process>
    <Process name="No list" process-id="23"/>
    <Process name="Empty list" process-id="24"><CompatibleMaterials/></Process>
    <Process name="Dup" process-id="25"><CompatibleMaterials>1</CompatibleMaterials></Process>
    <Process name="Dup later" process-id="25"><CompatibleMaterials>9;9;-1;4294967296;7</CompatibleMaterials></Process>
</Processes>)");
    ASSERT_TRUE(processes->loadProcesses());

    EXPECT_EQ(processes->getProcess(QStringLiteral("Word id")).getId(), 0u);
    EXPECT_EQ(processes->getProcess(20u).getId(), 0u);
    EXPECT_EQ(processes->getProcess(21u).getId(), 0u);
    EXPECT_EQ(processes->getProcess(QStringLiteral("Zero")).getId(), 0u);
    EXPECT_EQ(processes->getProcess(22u).getCompatibleMaterialIds(), ids({3, 16}));
    // A process without a list must not swallow the one after it.
    EXPECT_EQ(processes->getProcess(23u).getName(), QStringLiteral("No list"));
    EXPECT_TRUE(processes->getProcess(23u).getCompatibleMaterialIds().empty());
    EXPECT_EQ(processes->getProcess(24u).getName(), QStringLiteral("Empty list"));
    EXPECT_TRUE(processes->getProcess(24u).getCompatibleMaterialIds().empty());
    EXPECT_EQ(processes->getProcess(25u).getName(), QStringLiteral("Dup later"));
    EXPECT_EQ(processes->getProcess(25u).getCompatibleMaterialIds(), ids({9, 9, 7}));
    // Registered processes stay.
    EXPECT_EQ(processes->getProcess(3u).getName(), QStringLiteral("CVD"));
}

TEST_F(ProcessRegistry, BadFilesAreReplacedByTheBuiltInTable) {
    const QByteArray cases[] = {
        R"(<?xml version="1.0"?><Materials><Process name="A" process-id="30"/></Materials>)",
        QByteArray(builtInProcessesFile).left(400),
        QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
        R"(<Processes><Process name="A" process-id="30"><CompatibleMaterials>1</Process></Processes>)",
    };
    int index = 0;
    for (const QByteArray& contents : cases) {
        SCOPED_TRACE(index++);
        TestSupport::restoreBuiltInRegistries();
        writeSettingsFile(QStringLiteral("processes.xml"), contents);
        EXPECT_FALSE(processes->loadOrCreateDefaults());
        EXPECT_EQ(processes->getProcess(30u).getId(), 0u);
        EXPECT_EQ(processes->getProcesses().size(), 14u);
        EXPECT_EQ(readSettingsFile(QStringLiteral("processes.xml")),
                  QByteArray(builtInProcessesFile));
        EXPECT_EQ(readSettingsFile(QStringLiteral("processes.xml.bak")), contents);
    }
}

// Found by fuzzing: records before the damage used to stay registered.
TEST_F(ProcessRegistry, DamagedFileLeavesTheRegistryAsItWas) {
    writeSettingsFile(QStringLiteral("processes.xml"),
                      R"(<Processes><Process name="A" process-id="30"/>)"
                      R"(<Process name="CVD" process-id="3"><CompatibleMaterials>1)");
    EXPECT_FALSE(processes->loadProcesses());
    EXPECT_EQ(processes->getProcess(30u).getId(), 0u);
    const std::list<uint32_t> builtIn{3, 16, 17};
    EXPECT_EQ(processes->getProcess(3u).getCompatibleMaterialIds(), builtIn);
}

TEST_F(ProcessRegistry, CompatibleMaterialsFollowTheListAndSkipUnknownIds) {
    Process process(QStringLiteral("Mixed"), 40, {16, 2, 3, 70000, 16});
    const std::vector<Material> compatible = process.getCompatibleMaterials();
    ASSERT_EQ(compatible.size(), 3u);
    EXPECT_EQ(compatible[0].getName(), QStringLiteral("Poly-Si"));
    EXPECT_EQ(compatible[1].getName(), QStringLiteral("Thermal Si02"));
    EXPECT_EQ(compatible[2].getId(), 16u);

    process.addCompatibleMaterial(3);
    EXPECT_EQ(process.getCompatibleMaterialIds(), ids({16, 2, 3, 70000, 16, 3}));
    process.removeCompatibleMaterial(16);
    EXPECT_EQ(process.getCompatibleMaterialIds(), ids({2, 3, 70000, 3}));
    process.removeCompatibleMaterial(99);
    EXPECT_EQ(process.getCompatibleMaterialIds().size(), 4u);

    // The list is the registry's at the time of the call: renamed materials show renamed.
    Material renamed = materials->getMaterial(3);
    renamed.setName(QStringLiteral("Oxide"));
    materials->updateMaterial(renamed);
    EXPECT_EQ(process.getCompatibleMaterials()[0].getName(), QStringLiteral("Oxide"));
}

} // namespace CELLVANE_TEST_FILE
