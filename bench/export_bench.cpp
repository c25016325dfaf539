#include "Model/Export/cellboundarysurface.h"
#include "Model/Export/meshexport.h"
#include "Model/Export/vtiexporter.h"
#include "Model/Persistence/documentarchiver.h"
#include "Model/Persistence/totalvolumearchiver.h"
#include "Model/document.h"
#include "trenchscene.h"

#include <QSaveFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using Model::Export::ExportResult;

// Exports write into a fresh folder beside the working directory's file system cache, as a
// user's export would.
QTemporaryDir& outputFolder() {
    static QTemporaryDir folder;
    return folder;
}

std::uint64_t fileBytes(const QStringList& files) {
    std::uint64_t bytes = 0;
    for (const QString& file : files)
        bytes += std::uint64_t(QFileInfo(file).size());
    return bytes;
}

void check(benchmark::State& state, const ExportResult& result) {
    if (!result.ok)
        state.SkipWithError(result.error.toStdString().c_str());
}

// The surfaces alone, without writing.
void MeshSurfacesBuild(benchmark::State& state) {
    auto volume = bench::trenchScene();
    std::vector<Model::Export::MaterialSurface> surfaces;
    for (auto _ : state) {
        QString reason;
        if (!Model::Export::CellBoundarySurface::build(*volume, surfaces, &reason))
            state.SkipWithError(reason.toStdString().c_str());
    }
    std::size_t triangles = 0;
    for (const auto& surface : surfaces)
        triangles += surface.triangleCount();
    state.counters["triangles"] = double(triangles);
    state.counters["peak_MiB"] = bench::peakMemoryMiB();
}

// "Export Mesh..." to a folder of STL files (range 0) or to one OBJ file (range 1).
void MeshExport(benchmark::State& state) {
    auto volume = bench::trenchScene();
    const QString target = outputFolder().filePath(state.range(0) ? QStringLiteral("trench.obj")
                                                                  : QStringLiteral("trench"));
    ExportResult result;
    for (auto _ : state) {
        result = Model::Export::MeshExport::write(*volume, target);
        check(state, result);
    }
    state.counters["file_MiB"] = double(fileBytes(result.files)) / (1024.0 * 1024.0);
    state.counters["peak_MiB"] = bench::peakMemoryMiB();
}

// "Export Volume..." raw (range 0) or compressed (range 1).
void VtiExport(benchmark::State& state) {
    auto volume = bench::trenchScene();
    const QString target = outputFolder().filePath(QStringLiteral("trench.vti"));
    ExportResult result;
    for (auto _ : state) {
        result = Model::Export::VtiExporter::write(*volume, target, state.range(0) != 0);
        check(state, result);
    }
    state.counters["file_MiB"] = double(fileBytes(result.files)) / (1024.0 * 1024.0);
}

// What any export of the cells must at least pay: the same number of bytes as the raw .vti,
// already in memory, written through a save file.
void RawWriteOfVolumeBytes(benchmark::State& state) {
    auto volume = bench::trenchScene();
    const QByteArray bytes(int(volume->getCellCount() * 4 + 2048), '\x01');
    const QString target = outputFolder().filePath(QStringLiteral("raw.bin"));
    for (auto _ : state) {
        QSaveFile file(target);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            state.SkipWithError("raw write failed");
    }
    state.counters["file_MiB"] = double(bytes.size()) / (1024.0 * 1024.0);
}

// Saving the document, which the exports are measured against.
void DocumentSave(benchmark::State& state) {
    auto document = std::make_shared<Model::Document>();
    document->addObject(std::shared_ptr<Model::Automaton::TotalVolume>(bench::trenchScene()));
    Model::Persistence::ArchiverTable archivers;
    archivers[Model::Persistence::TotalVolumeArchiver::objectType] =
        std::make_shared<Model::Persistence::TotalVolumeArchiver>();
    const QString target = outputFolder().filePath(QStringLiteral("trench.cvx"));
    for (auto _ : state) {
        QSaveFile file(target);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Text) ||
            !Model::Persistence::DocumentArchiver(archivers).write(&file, *document) ||
            !file.commit())
            state.SkipWithError("document write failed");
    }
    state.counters["file_MiB"] = double(QFileInfo(target).size()) / (1024.0 * 1024.0);
}

} // namespace

BENCHMARK(MeshSurfacesBuild)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(MeshExport)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(VtiExport)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(RawWriteOfVolumeBytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DocumentSave)->Unit(benchmark::kMillisecond)->UseRealTime();
