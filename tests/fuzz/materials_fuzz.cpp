// materials.xml: what the registry accepts comes back the same after it writes its own file;
// a file it refuses leaves the registry as it was.

#include "fuzzsupport.h"

#include "Model/Materials/materialfactory.h"
#include "Model/Persistence/settingsfolder.h"

#include <QDir>

#include <cstring>
#include <vector>

using Model::Materials::Material;
using Model::Materials::MaterialFactory;

namespace {

bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool identical(const Material& a, const Material& b) {
    return a.getId() == b.getId() && a.getName() == b.getName() &&
           sameBits(a.getDensity(), b.getDensity()) &&
           sameBits(a.getYoungModulus(), b.getYoungModulus()) &&
           sameBits(a.getPoissonRatio(), b.getPoissonRatio()) && sameBits(a.getRed(), b.getRed()) &&
           sameBits(a.getGreen(), b.getGreen()) && sameBits(a.getBlue(), b.getBlue()) &&
           sameBits(a.getAlpha(), b.getAlpha());
}

bool identical(const std::vector<Material>& a, const std::vector<Material>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!identical(a[i], b[i]))
            return false;
    }
    return true;
}

QString registryFile() {
    return Model::Persistence::settingsFilePath(MaterialFactory::fileName());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto registry = MaterialFactory::getInstance();
    registry->createDefaultMaterials();
    const Fuzz::AtExit restore([&] { registry->createDefaultMaterials(); });
    const std::vector<Material> before = registry->getMaterials();
    QDir().mkpath(Model::Persistence::settingsFolderPath());
    Fuzz::writeFile(registryFile(), Fuzz::bytesOf(data, size));

    if (!registry->loadMaterials()) {
        FUZZ_CHECK(identical(registry->getMaterials(), before),
                   "a refused materials.xml changed the registry");
        return 0;
    }

    // The registry's own file holds what was accepted, as far as the format can hold it: read
    // back, it gives the same ids and names and is written again byte for byte.
    const std::vector<Material> accepted = registry->getMaterials();
    registry->saveMaterials();
    const QByteArray written = Fuzz::readFile(registryFile());
    registry->createDefaultMaterials();
    FUZZ_CHECK(registry->loadMaterials(), "the registry refused the file it wrote itself");
    const std::vector<Material> reread = registry->getMaterials();
    FUZZ_CHECK(reread.size() == accepted.size(), "a round trip changed the number of materials");
    for (std::size_t i = 0; i < reread.size(); ++i) {
        FUZZ_CHECK(reread[i].getId() == accepted[i].getId() &&
                       reread[i].getName() == accepted[i].getName() && reread[i] == accepted[i],
                   "a round trip changed a material");
    }
    registry->saveMaterials();
    FUZZ_CHECK(Fuzz::readFile(registryFile()) == written,
               "a round trip changed the registry's file");
    return 0;
}
