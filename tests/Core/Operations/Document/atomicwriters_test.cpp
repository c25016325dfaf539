#include "Core/Operations/Document/documentfile.h"
#include "Model/Export/imageexporter.h"
#include "Model/Export/objexporter.h"
#include "Model/ModelExtraction/netlistfile.h"
#include "Model/Persistence/settingsfolder.h"
#include "Model/document.h"
#include "Util/savefile.h"
#include "support/scenes.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <functional>

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Util::SaveFile;

QByteArray contents(const QString& fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// One writer of the program: the files it replaces in `folder`, and how to make it write them.
struct Writer {
    const char* name;
    QStringList files;
    std::function<bool(const QString& folder)> write;
};

Model::Export::MaterialSurface oneTriangle() {
    Model::Export::MaterialSurface surface;
    surface.material = 1;
    surface.cellCount = 1;
    surface.vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    surface.triangles = {0, 1, 2};
    surface.sides = {0};
    return surface;
}

std::vector<Writer> writers() {
    return {
        {"document",
         {QStringLiteral("a.cvx")},
         [](const QString& folder) {
             Model::Document document;
             document.addObject(
                 testing_support::makeVolume(2, 2, 2, [](int, int, int z) { return z < 1; }));
             return Core::Operations::DocumentFile::writeDocument(
                 document, Core::Operations::DocumentFile::archivers(), folder + "/a.cvx");
         }},
        {"netlist",
         {QStringLiteral("a.cir")},
         [](const QString& folder) {
             return Model::ModelExtraction::NetlistFile::write(folder + "/a.cir", "* new\n");
         }},
        {"picture",
         {QStringLiteral("a.png")},
         [](const QString& folder) {
             QImage image(4, 4, QImage::Format_RGB32);
             image.fill(Qt::red);
             return Model::Export::ImageExporter::write(image, folder + "/a.png").ok;
         }},
        {"mesh with its material library",
         {QStringLiteral("a.obj"), QStringLiteral("a.mtl")},
         [](const QString& folder) {
             return Model::Export::ObjExporter::write({oneTriangle()}, folder + "/a.obj").ok;
         }},
    };
}

// Each writer, with its rename failing (the first and, for a set, the last) and with the
// folder's sync failing: every old file is as it was and no temporary is left. The same writer
// then succeeds, so the injected failure, not the writer, made it fail.
TEST(AtomicWriters, AFailedRenameOrFolderSyncLeavesEveryOldFile) {
    struct InjectionOff {
        ~InjectionOff() {
            SaveFile::failForTesting(SaveFile::Step::Rename, 0);
            SaveFile::failForTesting(SaveFile::Step::SyncFolder, 0);
        }
    } off;
    for (const Writer& writer : writers()) {
        std::vector<std::pair<SaveFile::Step, int>> failures = {{SaveFile::Step::Rename, 1},
                                                                {SaveFile::Step::SyncFolder, 1}};
        if (writer.files.size() > 1)
            failures.push_back({SaveFile::Step::Rename, int(writer.files.size())});
        for (const auto& [step, occurrence] : failures) {
            QTemporaryDir dir;
            for (const QString& name : writer.files) {
                QFile old(dir.filePath(name));
                ASSERT_TRUE(old.open(QIODevice::WriteOnly));
                old.write("old " + name.toUtf8());
            }
            SaveFile::failForTesting(step, occurrence);
            EXPECT_FALSE(writer.write(dir.path())) << writer.name;
            SaveFile::failForTesting(step, 0);
            for (const QString& name : writer.files)
                EXPECT_EQ(contents(dir.filePath(name)), "old " + name.toUtf8()) << writer.name;
            QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
            EXPECT_EQ(left.size(), writer.files.size())
                << writer.name << ": " << left.join(' ').toStdString();
            ASSERT_TRUE(writer.write(dir.path())) << writer.name;
            EXPECT_NE(contents(dir.filePath(writer.files.first())),
                      "old " + writer.files.first().toUtf8())
                << writer.name;
        }
    }
}

// The registries' files live in the settings folder and go through the same writer.
TEST(AtomicWriters, ASettingsFileKeepsItsOldContentsWhenTheRenameFails) {
    ASSERT_TRUE(Model::Persistence::writeSettingsFile(QStringLiteral("probe.xml"), "old"));
    SaveFile::failForTesting(SaveFile::Step::Rename, 1);
    EXPECT_FALSE(Model::Persistence::writeSettingsFile(QStringLiteral("probe.xml"), "new"));
    SaveFile::failForTesting(SaveFile::Step::Rename, 0);
    EXPECT_EQ(contents(Model::Persistence::settingsFilePath(QStringLiteral("probe.xml"))), "old");
}

} // namespace CELLVANE_TEST_FILE
