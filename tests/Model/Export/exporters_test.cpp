#include "Model/Automaton/cellindex.h"
#include "Model/Export/exportnames.h"
#include "Model/Export/exportspace.h"
#include "Model/Export/meshexport.h"
#include "Model/Export/vtiexporter.h"
#include "Model/Materials/materialfactory.h"
#include "Model/Transport/fluxengine.h"
#include "support/exportscenes.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstring>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::TotalVolume;
using Model::Export::ExportNames;
using Model::Export::ExportResult;
using Model::Export::ExportSpace;
using Model::Export::MeshExport;
using Model::Export::VtiExporter;
using namespace testing_support;

namespace {

const QString vtkCheck = QStringLiteral(CELLVANE_TEST_SOURCE_DIR "/Model/Export/vtkcheck.py");

// Cell sizes whose products are exact in binary, so volumes compare exactly.
std::shared_ptr<TotalVolume> scaledScene() {
    return exportScene(0.5f, 0.25f, 2.f);
}

// admesh's figures by name ("Backwards edges" -> 0), the last number on each line.
std::map<QString, double> admeshFigures(const QString& file) {
    const QString admesh = QStandardPaths::findExecutable(QStringLiteral("admesh"));
    EXPECT_FALSE(admesh.isEmpty()) << "admesh is missing: run scripts/install-deps.sh";
    std::map<QString, double> figures;
    const QString output = runTool(admesh, {file});
    static const QRegularExpression line(
        QStringLiteral("^([A-Z][A-Za-z0-9 ]+?)\\s*:\\s+.*?(-?[0-9.]+)\\s*$"));
    for (const QString& text : output.split(QLatin1Char('\n'))) {
        const auto match = line.match(text);
        if (match.hasMatch())
            figures[match.captured(1)] = match.captured(2).toDouble();
    }
    // "Volume" shares its line with "Number of parts".
    static const QRegularExpression volume(QStringLiteral("Volume\\s*:\\s*([0-9.]+)"));
    const auto found = volume.match(output);
    if (found.hasMatch())
        figures[QStringLiteral("Volume")] = found.captured(1).toDouble();
    EXPECT_TRUE(figures.count(QStringLiteral("Backwards edges"))) << output.toStdString();
    return figures;
}

QJsonObject vtkReads(const QString& kind, const QString& file) {
    const QString output = runTool(systemPython(), {vtkCheck, kind, file});
    // The answer is the last line; VTK may warn before it.
    const QJsonDocument json =
        QJsonDocument::fromJson(output.trimmed().split(QLatin1Char('\n')).last().toUtf8());
    EXPECT_TRUE(json.isObject()) << output.toStdString();
    return json.object();
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

TEST(MeshExport, StlFilesPassAdmeshAndEncloseTheirCells) {
    auto volume = scaledScene();
    const auto counts = cellCounts(*volume);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("mesh"));
    const ExportResult result = MeshExport::write(*volume, folder);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(filesIn(folder),
              (QStringList{QStringLiteral("Al_(bulk).stl"), QStringLiteral("Si.stl"),
                           QStringLiteral("Thermal_Si02.stl")}));
    const std::map<QString, int> materialOf = {{QStringLiteral("Si.stl"), exportSilicon},
                                               {QStringLiteral("Thermal_Si02.stl"), exportOxide},
                                               {QStringLiteral("Al_(bulk).stl"), exportAluminium}};
    for (const auto& [name, material] : materialOf) {
        SCOPED_TRACE(name.toStdString());
        QFile file(QDir(folder).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_FALSE(bytes.startsWith("solid"));
        EXPECT_TRUE(bytes.startsWith("Cellvane cell-boundary surface in um: ")) << "its unit";
        const quint32 triangles = qFromLittleEndian<quint32>(bytes.constData() + 80);
        EXPECT_EQ(qint64(bytes.size()), 84 + 50 * qint64(triangles));

        // The enclosed volume from the file's own numbers, summed in double precision.
        double enclosed = 0;
        for (quint32 t = 0; t < triangles; ++t) {
            float c[3][3];
            std::memcpy(c, bytes.constData() + 84 + 50 * qint64(t) + 12, sizeof c);
            enclosed += (c[0][0] * (double(c[1][1]) * c[2][2] - double(c[1][2]) * c[2][1]) -
                         c[0][1] * (double(c[1][0]) * c[2][2] - double(c[1][2]) * c[2][0]) +
                         c[0][2] * (double(c[1][0]) * c[2][1] - double(c[1][1]) * c[2][0])) /
                        6.0;
        }
        const double cellsVolume = double(counts.at(material)) * 0.25;
        EXPECT_NEAR(enclosed, cellsVolume, 1e-12 * cellsVolume);

        auto figures = admeshFigures(file.fileName());
        EXPECT_EQ(figures[QStringLiteral("Number of facets")], triangles);
        for (const char* zero :
             {"Total disconnected facets", "Degenerate facets", "Edges fixed", "Facets removed",
              "Facets added", "Facets reversed", "Backwards edges", "Normals fixed"})
            EXPECT_EQ(figures[QString::fromLatin1(zero)], 0) << zero;
        // admesh works in single precision.
        EXPECT_NEAR(figures[QStringLiteral("Volume")], cellsVolume, 1e-5 * cellsVolume);
    }
}

TEST(MeshExport, ObjReadByVtkIsClosedWithOneGroupAndColourPerMaterial) {
    auto volume = scaledScene();
    // At 2 µm per scene unit every cell encloses 8 times the volume in µm³.
    volume->setMicrometresPerSceneUnit(2.0);
    std::uint64_t cells = 0;
    for (const auto& entry : cellCounts(*volume))
        cells += entry.second;
    QTemporaryDir dir;
    const QString obj = dir.filePath(QStringLiteral("etched part.obj"));
    const ExportResult result = MeshExport::write(*volume, obj);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(result.files, (QStringList{obj, dir.filePath(QStringLiteral("etched_part.mtl"))}));

    const QJsonObject mesh = vtkReads(QStringLiteral("obj"), obj);
    EXPECT_GT(mesh[QStringLiteral("triangles")].toInt(), 0);
    EXPECT_EQ(mesh[QStringLiteral("open_edges")].toInt(), 0);
    EXPECT_EQ(mesh[QStringLiteral("non_manifold_edges")].toInt(), 0);
    EXPECT_NEAR(mesh[QStringLiteral("volume")].toDouble(), double(cells) * 0.25 * 8, 1e-5);

    QFile text(obj);
    ASSERT_TRUE(text.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString content = QString::fromUtf8(text.readAll());
    EXPECT_TRUE(content.contains(QStringLiteral("mtllib etched_part.mtl\n")));
    EXPECT_TRUE(content.contains(QStringLiteral("\n# Coordinates in micrometres\n")));
    for (const char* group : {"Si", "Thermal_Si02", "Al_(bulk)"})
        EXPECT_TRUE(
            content.contains(QStringLiteral("\ng %1\nusemtl %1\n").arg(QLatin1String(group))))
            << group;
    QFile library(result.files.at(1));
    ASSERT_TRUE(library.open(QIODevice::ReadOnly | QIODevice::Text));
    EXPECT_TRUE(
        QString::fromUtf8(library.readAll())
            .contains(QStringLiteral("newmtl Thermal_Si02\nKa 0.5 0.5 1\nKd 0.5 0.5 1\nd 1\n")));
}

TEST(MeshExport, TargetsNameTheirFilesAndFailuresLeaveNothingBehind) {
    auto volume = exportScene();
    QTemporaryDir dir;
    const QString beside = dir.filePath(QStringLiteral("part.stl"));
    EXPECT_EQ(MeshExport::stlFileNames(beside, {1, 4}),
              (QStringList{dir.filePath(QStringLiteral("part_Si.stl")),
                           dir.filePath(QStringLiteral("part_Al_(bulk).stl"))}));

    // An unknown suffix, a full disk, and a library that cannot be written.
    ExportResult result = MeshExport::write(*volume, dir.filePath(QStringLiteral("part.ply")));
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(QStringLiteral(".stl or .obj")))
        << result.error.toStdString();

    ExportSpace::setFreeDiskBytesForTesting(100);
    result = MeshExport::write(*volume, dir.filePath(QStringLiteral("new/folder")));
    ExportSpace::setFreeDiskBytesForTesting(0);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(QStringLiteral("on disk"))) << result.error.toStdString();

    QFile old(dir.filePath(QStringLiteral("part.obj")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("part.mtl")));
    result = MeshExport::write(*volume, old.fileName());
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(QStringLiteral("part.mtl"))) << result.error.toStdString();
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("part.obj")});
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("new"))));
}

TEST(ExportNames, TokensAreSafeFileNamesAndUnique) {
    auto registry = Model::Materials::MaterialFactory::getInstance();
    registry->updateMaterial(
        Model::Materials::Material(900, QStringLiteral("al_(BULK)"), 1, 1, 0.3f));
    registry->updateMaterial(
        Model::Materials::Material(901, QStringLiteral("../x y/z"), 1, 1, 0.3f));
    EXPECT_EQ(ExportNames::token(901), QStringLiteral("material_901"));
    EXPECT_EQ(ExportNames::token(12), QStringLiteral("Photoresist_-"));
    EXPECT_EQ(ExportNames::displayName(777), QStringLiteral("Material 777"));
    const auto tokens = ExportNames::uniqueTokens({4, 900, 777});
    EXPECT_EQ(tokens.at(4), QStringLiteral("Al_(bulk)"));
    EXPECT_EQ(tokens.at(900), QStringLiteral("al_(BULK)_900"));
    EXPECT_EQ(tokens.at(777), QStringLiteral("Material_777"));
}

TEST(VtiExport, VtkReadsBackSizesPlacementIdsAndNamesRawAndCompressed) {
    // Large enough for the compressed ids to span two blocks, the second one partial.
    auto volume = makeVolume(
        80, 60, 70,
        [](int x, int y, int z) {
            if (z < 20 + (x * y) % 7)
                return exportSilicon;
            return z < 40 && (x + y) % 5 == 0 ? exportAluminium : 0;
        },
        0.5f, 0.25f, 2.f);
    volume->translate(Util::Vector3D(-3, 7.5, 100));
    ASSERT_GT(volume->getCellCount() * 4, std::uint64_t(VtiExporter::compressionBlockBytes));
    // The ids in image-data order, x fastest.
    QByteArray expected;
    const std::vector<int> cells = materialsOf(*volume);
    for (unsigned z = 0; z < 70; ++z)
        for (unsigned y = 0; y < 60; ++y)
            for (unsigned x = 0; x < 80; ++x) {
                char bytes[4];
                qToLittleEndian(quint32(cells[Model::Automaton::cellIndex(x, y, z, 60, 70)]),
                                bytes);
                expected.append(bytes, 4);
            }
    const QString digest =
        QString::fromLatin1(QCryptographicHash::hash(expected, QCryptographicHash::Sha256).toHex());

    QTemporaryDir dir;
    for (const bool compress : {false, true}) {
        SCOPED_TRACE(compress ? "compressed" : "raw");
        const QString file =
            dir.filePath(compress ? QStringLiteral("z.vti") : QStringLiteral("raw.vti"));
        const ExportResult result = VtiExporter::write(*volume, file, compress);
        ASSERT_TRUE(result.ok) << result.error.toStdString();
        const QJsonObject image = vtkReads(QStringLiteral("vti"), file);
        EXPECT_EQ(image[QStringLiteral("dimensions")].toArray(), (QJsonArray{81, 61, 71}));
        EXPECT_EQ(image[QStringLiteral("spacing")].toArray(), (QJsonArray{0.5, 0.25, 2.0}));
        EXPECT_EQ(image[QStringLiteral("origin")].toArray(), (QJsonArray{-3.0, 7.5, 100.0}));
        EXPECT_EQ(image[QStringLiteral("type")].toString(), QStringLiteral("unsigned int"));
        EXPECT_EQ(image[QStringLiteral("sha256")].toString(), digest);
        EXPECT_EQ(image[QStringLiteral("ids")].toArray(), (QJsonArray{0, 1, 4}));
        EXPECT_EQ(image[QStringLiteral("names")].toArray(),
                  (QJsonArray{QStringLiteral("Empty"), QStringLiteral("Si"),
                              QStringLiteral("Al (bulk)")}));
        if (compress) {
            EXPECT_LT(QFileInfo(file).size(),
                      QFileInfo(dir.filePath(QStringLiteral("raw.vti"))).size() / 4);
        }
    }

    // A flux map rides along as a second cell array, 0 off the surface, both ways of writing.
    const Model::Transport::SurfaceFlux flux =
        Model::Transport::FluxEngine::compute(*volume, Model::Transport::FluxSettings());
    QByteArray fluxBytes;
    for (unsigned z = 0; z < 70; ++z)
        for (unsigned y = 0; y < 60; ++y)
            for (unsigned x = 0; x < 80; ++x) {
                const std::ptrdiff_t k = flux.find(Model::Automaton::cellIndex(x, y, z, 60, 70));
                char bytes[4];
                qToLittleEndian(k < 0 ? 0.0f : flux.totalFlux(std::size_t(k)), bytes);
                fluxBytes.append(bytes, 4);
            }
    for (const bool compress : {false, true}) {
        SCOPED_TRACE(compress ? "flux compressed" : "flux raw");
        const QString file = dir.filePath(QStringLiteral("flux.vti"));
        ASSERT_TRUE(VtiExporter::write(*volume, file, compress, &flux).ok);
        const QJsonObject image = vtkReads(QStringLiteral("vti"), file);
        EXPECT_EQ(image[QStringLiteral("sha256")].toString(), digest);
        EXPECT_EQ(image[QStringLiteral("flux_type")].toString(), QStringLiteral("float"));
        EXPECT_EQ(image[QStringLiteral("flux_sha256")].toString(),
                  QString::fromLatin1(
                      QCryptographicHash::hash(fluxBytes, QCryptographicHash::Sha256).toHex()));
        QFile::remove(file);
    }

    // Origin and spacing are micrometres, and the file says so.
    volume->setMicrometresPerSceneUnit(0.5);
    const QString halved = dir.filePath(QStringLiteral("halved.vti"));
    ASSERT_TRUE(VtiExporter::write(*volume, halved).ok);
    const QJsonObject image = vtkReads(QStringLiteral("vti"), halved);
    EXPECT_EQ(image[QStringLiteral("spacing")].toArray(), (QJsonArray{0.25, 0.125, 1.0}));
    EXPECT_EQ(image[QStringLiteral("origin")].toArray(), (QJsonArray{-1.5, 3.75, 50.0}));
    EXPECT_EQ(image[QStringLiteral("unit")].toString(), QStringLiteral("micrometre"));
    EXPECT_EQ(image[QStringLiteral("sha256")].toString(), digest);
    QFile::remove(halved);

    ExportSpace::setFreeDiskBytesForTesting(1000);
    const ExportResult full = VtiExporter::write(*volume, dir.filePath(QStringLiteral("full.vti")));
    ExportSpace::setFreeDiskBytesForTesting(0);
    EXPECT_FALSE(full.ok);
    EXPECT_TRUE(full.error.contains(QStringLiteral("full.vti"))) << full.error.toStdString();
    EXPECT_EQ(filesIn(dir.path()),
              (QStringList{QStringLiteral("raw.vti"), QStringLiteral("z.vti")}));
}

} // namespace CELLVANE_TEST_FILE
