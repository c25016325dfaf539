#include "Model/Materials/materialfactory.h"

#include "Model/Automaton/materialcells.h"

#include "Model/Persistence/materialarchiver.h"
#include "Model/Persistence/registryfile.h"
#include "Model/Persistence/settingsfolder.h"

#include <QFile>
#include <QLoggingCategory>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <QtGlobal>

#include <map>
#include <mutex>

Q_LOGGING_CATEGORY(lcMaterialFactory, "Model/Materials/materialfactory", QtInfoMsg)

namespace Model::Materials {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<uint32_t, Material> materials;
    // Records of the file that no cell could use, as they stood: written back on every save, so
    // that the file never loses what the user wrote into it.
    std::vector<QXmlStreamAttributes> refused;
    QStringList problems;
};

// Why a "Material" record was not loaded, in words for the user.
QString refusalOf(const QXmlStreamAttributes& attributes) {
    bool parsed = false;
    const qulonglong id = attributes.value(QStringLiteral("material-id")).toULongLong(&parsed);
    if (parsed && id > Automaton::largestMaterialId)
        return QStringLiteral("the material id %1 is above %2, the largest a cell can hold")
            .arg(id)
            .arg(Automaton::largestMaterialId);
    return QStringLiteral("the material has no usable id or no name");
}

// Deliberately never destroyed: worker threads and late static destructors may still look
// materials up while the program exits.
Registry& registry() {
    static Registry* instance = new Registry;
    return *instance;
}

void fillDefaults(std::map<uint32_t, Material>& materials) {
    using V = Util::Vector4D;
    materials.clear();
    const Material table[] = {
        {1, QStringLiteral("Si"), 2329.f, 1.88e11f, 0.28f, V(0.5, 0.5, 0.5, 1)},
        {3, QStringLiteral("Thermal Si02"), 2200.f, 7e10f, 0.17f, V(0.5, 0.5, 1, 1)},
        {4, QStringLiteral("Al (bulk)"), 2700.f, 7e10f, 0.14f, V(0.7, 0.7, 0.7, 1)},
        {5, QStringLiteral("Cu (bulk)"), 8960.f, 1.28e11f, 0.36f, V(1, 0.8, 0.3, 1)},
        {6, QStringLiteral("Cr (bulk)"), 7190.f, 2.79e11f, 0.21f, V(0.8, 0.8, 0.8, 1)},
        {7, QStringLiteral("Ni (bulk)"), 8908.f, 2e11f, 0.31f, V(0.8, 0.9, 0.8, 1)},
        {8, QStringLiteral("Pt (bulk)"), 21450.f, 1.68e11f, 0.38f, V(0.9, 0.9, 0.8, 1)},
        {9, QStringLiteral("Au (bulk)"), 19300.f, 7.9e10f, 0.44f, V(0.5, 1, 0.5, 1)},
        {10, QStringLiteral("Ti (bulk)"), 4506.f, 1.16e11f, 0.32f, V(0.3, 0.3, 0.3, 1)},
        {11, QStringLiteral("Photoresist +"), 1000.f, 1e9f, 0.4f, V(1, 0.5, 0.5, 1)},
        {12, QStringLiteral("Photoresist -"), 1000.f, 1e9f, 0.4f, V(1, 0.3, 1, 1)},
        {13, QStringLiteral("PDMS"), 1000.f, 1e9f, 0.4f, V(1, 1, 1, 1)},
        {14, QStringLiteral("N-doped Si (100)"), 2329.f, 1.88e11f, 0.28f, V(1, 1, 0.67, 1)},
        {15, QStringLiteral("P-doped Si (100)"), 2329.f, 1.88e11f, 0.28f, V(0.67, 0.67, 1, 1)},
        {16, QStringLiteral("Poly-Si"), 2329.f, 1.88e11f, 0.28f, V(0.3, 0.5, 0.4, 1)},
        // The standard mask of a KOH etch: stoichiometric LPCVD nitride, about 3.1 g/cm³,
        // 250 GPa, Poisson's ratio 0.23.
        {17, QStringLiteral("Si3N4 (LPCVD)"), 3100.f, 2.5e11f, 0.23f, V(0.8, 0.6, 0.3, 1)},
    };
    for (const Material& material : table)
        materials.emplace(material.getId(), material);
}

// Runs before main(): the process registry's start-up reaches this one first as well, so the
// order does not depend on the order the linker lays out static initialisers in.
const bool materialsStarted = (MaterialFactory::getInstance(), true);

} // namespace

std::shared_ptr<MaterialFactory> MaterialFactory::getInstance() {
    static const auto* instance = new std::shared_ptr<MaterialFactory>([] {
        std::shared_ptr<MaterialFactory> factory(new MaterialFactory);
        factory->loadOrCreateDefaults();
        return factory;
    }());
    return *instance;
}

bool MaterialFactory::loadOrCreateDefaults() {
    if (loadMaterials())
        return true;
    Persistence::keepUnreadableSettingsFile(fileName());
    createDefaultMaterials();
    saveMaterials();
    return false;
}

bool MaterialFactory::loadMaterials() {
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);

    // Records join the registry only once the whole file has been read: a damaged file leaves
    // the registry as it was.
    std::map<uint32_t, Material> read;
    std::vector<QXmlStreamAttributes> refused;
    QStringList problems;
    const bool loaded = Persistence::readRegistryFile(
        fileName(), QLatin1String("Materials"), lcMaterialFactory(), [&](QXmlStreamReader& reader) {
            bool ok = false;
            const QXmlStreamAttributes attributes = reader.attributes();
            QString reason;
            const Material material =
                Persistence::MaterialArchiver::loadMaterial(&reader, &ok, &reason);
            if (ok) {
                read[material.getId()] = material;
            } else if (reader.name() == QLatin1String("Material")) {
                refused.push_back(attributes);
                problems << QStringLiteral(
                                "%1, line %2: %3; it is not loaded and stays in the file.")
                                .arg(fileName())
                                .arg(reader.lineNumber())
                                .arg(reason.isEmpty() ? refusalOf(attributes) : reason);
            }
        });
    if (loaded) {
        for (const auto& entry : read)
            reg.materials[entry.first] = entry.second;
        reg.refused = std::move(refused);
        reg.problems = problems;
        for (const QString& problem : problems)
            qCWarning(lcMaterialFactory).noquote() << problem;
    }
    return loaded;
}

void MaterialFactory::createDefaultMaterials() {
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    fillDefaults(reg.materials);
    reg.refused.clear();
    reg.problems.clear();
}

void MaterialFactory::saveMaterials() {
    QByteArray contents;
    {
        Registry& reg = registry();
        std::lock_guard<std::mutex> lock(reg.mutex);
        contents = Persistence::registryFileContents(
            QStringLiteral("Materials"), [&](QXmlStreamWriter& writer) {
                for (const auto& entry : reg.materials)
                    Persistence::MaterialArchiver::saveMaterial(&writer, entry.second);
                for (const QXmlStreamAttributes& record : reg.refused) {
                    writer.writeEmptyElement(QStringLiteral("Material"));
                    writer.writeAttributes(record);
                }
            });
    }
    if (contents.isEmpty())
        return;
    // The file is written outside the lock: a slow disk must not stall lookups.
    if (!Persistence::writeSettingsFile(fileName(), contents))
        qCDebug(lcMaterialFactory) << "Could not write" << fileName();
}

QStringList MaterialFactory::getLoadProblems() {
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    return reg.problems;
}

Material MaterialFactory::getMaterial(uint32_t id) {
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    const auto found = reg.materials.find(id);
    return found != reg.materials.end() ? found->second : Material();
}

std::vector<Material> MaterialFactory::getMaterials() {
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    std::vector<Material> result;
    result.reserve(reg.materials.size());
    for (const auto& entry : reg.materials)
        result.push_back(entry.second);
    return result;
}

bool MaterialFactory::updateMaterial(const Material& material) {
    if (material.getId() == 0 || material.getId() > Automaton::largestMaterialId)
        return false;
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.materials[material.getId()] = material;
    return true;
}

void MaterialFactory::removeMaterial(uint32_t id) {
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.materials.erase(id);
}

unsigned MaterialFactory::generateMaterialId() {
    constexpr unsigned first = 2000;
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    // Random draws find a free id at once unless the range is nearly full; a hostile registry
    // could fill it completely, so the draws are bounded and a scan takes over.
    for (int attempt = 0; attempt < 100000; ++attempt) {
        const int draw = qrand() & 0x7FFF;
        const float scaled = float(draw * 30767) * (1.f / 32768.f);
        const unsigned id = first + static_cast<unsigned>(scaled);
        if (reg.materials.find(id) == reg.materials.end())
            return id;
    }
    for (unsigned id = first; id <= Automaton::largestMaterialId; ++id) {
        if (reg.materials.find(id) == reg.materials.end())
            return id;
    }
    return 0;
}

} // namespace Model::Materials
