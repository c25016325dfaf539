// Documents, read with the archiver table the program uses: whatever is read, written and
// read back gives the same objects (every cell, and sizes, cell sizes, positions and wafer
// orientations as the file writes them) and leaves the registry alone the second time; a
// refused document hands out no objects and leaves the material registry as it was.

#include "fuzzsupport.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Materials/materialfactory.h"
#include "Model/Persistence/documentarchiver.h"
#include "Model/Persistence/materialarchiver.h"
#include "Model/document.h"

#include <QBuffer>

#include <algorithm>
#include <vector>

using Model::Automaton::CellArraysLock;
using Model::Automaton::TotalVolume;
using Model::Materials::Material;
using Model::Materials::MaterialFactory;
using Model::Persistence::DocumentArchiver;
using Model::Persistence::MaterialArchiver;
using ReadStatus = DocumentArchiver::ReadStatus;

namespace {

DocumentArchiver::ReadResult read(const QByteArray& bytes) {
    static const Model::Persistence::ArchiverTable archivers =
        DocumentArchiver::standardArchivers();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly | QIODevice::Text);
    return DocumentArchiver(archivers).read(&buffer);
}

QByteArray write(const DocumentArchiver::ReadResult& contents) {
    static const Model::Persistence::ArchiverTable archivers =
        DocumentArchiver::standardArchivers();
    Model::Document document;
    document.setMicrometresPerSceneUnit(contents.micrometresPerSceneUnit);
    for (const Model::ObjectPtr& object : contents.objects)
        document.addObject(object);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly | QIODevice::Text);
    FUZZ_CHECK(DocumentArchiver(archivers).write(&buffer, document),
               "a document that was read could not be written");
    return buffer.data();
}

// Everything a material record carries, as the registry file writes it.
bool sameRegistry(const std::vector<Material>& a, const std::vector<Material>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const Material& x, const Material& y) {
                          return x.getId() == y.getId() && x.getName() == y.getName() &&
                                 MaterialArchiver::colorToText(x) ==
                                     MaterialArchiver::colorToText(y) &&
                                 MaterialArchiver::numberToText(x.getDensity()) ==
                                     MaterialArchiver::numberToText(y.getDensity()) &&
                                 MaterialArchiver::numberToText(x.getYoungModulus()) ==
                                     MaterialArchiver::numberToText(y.getYoungModulus()) &&
                                 MaterialArchiver::numberToText(x.getPoissonRatio()) ==
                                     MaterialArchiver::numberToText(y.getPoissonRatio());
                      });
}

std::vector<std::uint32_t> cellsOf(TotalVolume& volume) {
    const CellArraysLock locked(volume, CellArraysLock::Arrays::Current);
    std::vector<std::uint32_t> ids(volume.getCellCount());
    for (std::size_t i = 0; i < ids.size(); ++i)
        ids[i] = locked.materials()[std::ptrdiff_t(i)];
    return ids;
}

QString placement(const TotalVolume& volume) {
    const Util::Vector3D p = volume.getPosition();
    return QStringList{MaterialArchiver::numberToText(volume.getCellSizeX()),
                       MaterialArchiver::numberToText(volume.getCellSizeY()),
                       MaterialArchiver::numberToText(volume.getCellSizeZ()),
                       QString::number(p.x, 'g', 6), QString::number(p.y, 'g', 6),
                       QString::number(p.z, 'g', 6)}
        .join(QLatin1Char(' '));
}

void checkSameVolume(const Model::ObjectPtr& a, const Model::ObjectPtr& b) {
    const auto first = std::dynamic_pointer_cast<TotalVolume>(a);
    const auto second = std::dynamic_pointer_cast<TotalVolume>(b);
    FUZZ_CHECK(first && second, "a document object is no cell volume");
    FUZZ_CHECK(first->getSizeX() == second->getSizeX() &&
                   first->getSizeY() == second->getSizeY() &&
                   first->getSizeZ() == second->getSizeZ(),
               "a round trip changed a volume's size");
    FUZZ_CHECK(placement(*first) == placement(*second),
               "a round trip changed a volume's cell size or position");
    FUZZ_CHECK(first->getCrystalOrientation() == second->getCrystalOrientation(),
               "a round trip changed a volume's crystal orientation");
    FUZZ_CHECK(cellsOf(*first) == cellsOf(*second), "a round trip changed a volume's cells");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Every input meets the registry as a fresh start of the program would.
    const auto registry = MaterialFactory::getInstance();
    registry->createDefaultMaterials();
    const Fuzz::AtExit restore([&] {
        registry->createDefaultMaterials();
        DocumentArchiver::forgetMaterialIdMap();
    });
    const std::vector<Material> before = registry->getMaterials();

    const DocumentArchiver::ReadResult first = read(Fuzz::bytesOf(data, size));
    if (first.status == ReadStatus::NotADocument || first.status == ReadStatus::Refused) {
        FUZZ_CHECK(first.objects.empty(), "a refused document handed out objects");
        FUZZ_CHECK(first.status == ReadStatus::NotADocument || !first.error.isEmpty(),
                   "a refused document gave no reason");
        FUZZ_CHECK(sameRegistry(registry->getMaterials(), before),
                   "a refused document changed the material registry");
        return 0;
    }
    FUZZ_CHECK(first.status == ReadStatus::Complete || !first.error.isEmpty(),
               "a damaged document gave no reason");

    FUZZ_CHECK(Model::Document::isUsableScale(first.micrometresPerSceneUnit),
               "a document was read with a scale that is no length");
    const QByteArray written = write(first);
    const std::vector<Material> registered = registry->getMaterials();
    const DocumentArchiver::ReadResult second = read(written);
    FUZZ_CHECK(second.status == ReadStatus::Complete,
               "the archiver did not read a document it wrote itself");
    FUZZ_CHECK(second.warnings.isEmpty(), "a document the archiver wrote gave warnings");
    FUZZ_CHECK(sameRegistry(registry->getMaterials(), registered),
               "reading a document written from the registry changed the registry");
    FUZZ_CHECK(second.objects.size() == first.objects.size(),
               "a round trip changed the number of objects");
    FUZZ_CHECK(second.micrometresPerSceneUnit == first.micrometresPerSceneUnit,
               "a round trip changed the document's scale");
    for (std::size_t i = 0; i < first.objects.size(); ++i)
        checkSameVolume(first.objects[i], second.objects[i]);
    FUZZ_CHECK(write(second) == written, "a round trip changed the written document");
    return 0;
}
