#include "Core/Operations/Document/documentfile.h"
#include "Model/Export/imageexporter.h"
#include "Model/Export/meshexport.h"
#include "Model/Export/vtiexporter.h"
#include "Model/Metrology/metricsreport.h"
#include "Model/ModelExtraction/netlistfile.h"
#include "support/exportscenes.h"
#include "support/fakeoperations.h"
#include "support/mountedfolder.h"

#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

#include <functional>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

namespace {

// One way the program writes a file: the name it writes to and the write, giving the error it
// reports (empty on success).
struct Writer {
    const char* what;
    const char* fileName;
    std::function<QString(OperationContext&, const QString&)> write;
};

QString errorOf(const Model::Export::ExportResult& result) {
    return result.ok ? QString() : result.error;
}

Model::Automaton::TotalVolume& volumeOf(OperationContext& context) {
    return *std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(
        context.document->getObjects().front());
}

const std::vector<Writer>& writers() {
    static const std::vector<Writer> all{
        {"document save", "chip.cvx",
         [](OperationContext& context, const QString& file) {
             auto& prompts = static_cast<ScriptedPrompts&>(context.prompts);
             prompts.messages.clear();
             return DocumentFile::write(context, file) ? QString() : prompts.messages.join("\n");
         }},
        {"STL", "part.stl",
         [](OperationContext& context, const QString& file) {
             return errorOf(Model::Export::MeshExport::write(volumeOf(context), file));
         }},
        {"OBJ", "part.obj",
         [](OperationContext& context, const QString& file) {
             return errorOf(Model::Export::MeshExport::write(volumeOf(context), file));
         }},
        {"volume", "cells.vti",
         [](OperationContext& context, const QString& file) {
             return errorOf(Model::Export::VtiExporter::write(volumeOf(context), file, true));
         }},
        {"picture", "view.png",
         [](OperationContext&, const QString& file) {
             QImage image(300, 200, QImage::Format_RGB32);
             for (int y = 0; y < image.height(); ++y)
                 for (int x = 0; x < image.width(); ++x)
                     image.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x ^ y) % 256));
             return errorOf(Model::Export::ImageExporter::write(image, file));
         }},
        {"netlist", "model.cir",
         [](OperationContext&, const QString& file) {
             QString error;
             Model::ModelExtraction::NetlistFile::write(file, QString(20000, QLatin1Char('*')),
                                                        &error);
             return error;
         }},
        {"metrics", "metrics.csv",
         [](OperationContext&, const QString& file) {
             Model::Metrology::MetricsReport report;
             Model::Metrology::Measurement none;
             none.reason = QString(20000, QLatin1Char('r'));
             report.add(1, QStringLiteral("depth:Si"), QStringLiteral("depth"), none);
             QString error;
             report.write(file, &error);
             return error;
         }},
    };
    return all;
}

struct FullFileSystemTest : ::testing::Test {
    CountingHost host;
    ScriptedPrompts prompts;
    OperationContext context{host, prompts};
    MountedFolder folder;

    void SetUp() override {
        if (!folder.isMounted())
            GTEST_SKIP() << folder.why().toStdString();
        context.document->addObject(exportScene());
    }

    // Every writer writes once where it can, as the earlier files the failed writes must keep.
    std::map<QString, QByteArray> writeEarlierFiles() {
        for (const Writer& writer : writers())
            EXPECT_EQ(writer.write(context, folder.filePath(writer.fileName)), QString())
                << writer.what;
        std::map<QString, QByteArray> contents;
        for (const QString& name : QDir(folder.path()).entryList(QDir::Files | QDir::Hidden)) {
            QFile file(folder.filePath(name));
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            contents[name] = file.readAll();
        }
        return contents;
    }

    // Each writer fails with `reason` in its message and leaves every file as it was.
    void expectEveryWriteRefused(const QStringList& reasons,
                                 const std::map<QString, QByteArray>& before) {
        const auto givesReason = [&](const QString& error) {
            for (const QString& reason : reasons)
                if (error.contains(reason))
                    return true;
            return false;
        };
        context.document->setModified(true);
        context.document->setFileName(QStringLiteral("elsewhere.cvx"));
        for (const Writer& writer : writers()) {
            const QString error = writer.write(context, folder.filePath(writer.fileName));
            EXPECT_TRUE(givesReason(error)) << writer.what << ": " << error.toStdString();
            EXPECT_FALSE(error.contains(QStringLiteral("Unknown error"))) << writer.what;
        }
        EXPECT_TRUE(context.document->isModified()) << "a failed save leaves the work unsaved";
        EXPECT_EQ(context.document->getFileName(), QStringLiteral("elsewhere.cvx"));
        std::map<QString, QByteArray> after;
        for (const QString& name : QDir(folder.path()).entryList(QDir::Files | QDir::Hidden)) {
            QFile file(folder.filePath(name));
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            after[name] = file.readAll();
        }
        after.erase(QStringLiteral(".filler"));
        EXPECT_EQ(after, before) << "earlier files whole, no temporary file left";
    }
};

} // namespace

TEST_F(FullFileSystemTest, ADiskThatFillsUpKeepsEveryEarlierFileAndSaysWhy) {
    const auto before = writeEarlierFiles();
    ASSERT_GE(before.size(), writers().size());
    folder.fill();
    // The large exports find out before they start.
    expectEveryWriteRefused({MountedFolder::noSpace(), QStringLiteral("MiB are free in")}, before);
}

TEST_F(FullFileSystemTest, AReadOnlyPlaceKeepsEveryEarlierFileAndSaysWhy) {
    const auto before = writeEarlierFiles();
    ASSERT_TRUE(folder.makeReadOnly());
    // Qt finds out before it writes, and words it its own way.
    expectEveryWriteRefused({MountedFolder::readOnly(), QStringLiteral("is not writable")}, before);
}

TEST_F(FullFileSystemTest, TheCommandLineSaysWhyAndFails) {
    const auto before = writeEarlierFiles();
    ASSERT_TRUE(folder.makeReadOnly());
    int exitCode = -1;
    const QString said =
        runTool(QStringLiteral(CELLVANE_EXPORT_PROGRAM),
                {folder.filePath(QStringLiteral("chip.cvx")), QStringLiteral("--vti"),
                 folder.filePath(QStringLiteral("cells.vti"))},
                &exitCode);
    EXPECT_EQ(exitCode, 1) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("cells.vti is not writable"))) << said.toStdString();
    QFile earlier(folder.filePath(QStringLiteral("cells.vti")));
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), before.at(QStringLiteral("cells.vti")));
}

} // namespace CELLVANE_TEST_FILE
