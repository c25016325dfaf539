#include "Model/Process/processfactory.h"

#include "Model/Materials/materialfactory.h"
#include "Model/Persistence/processarchiver.h"
#include "Model/Persistence/registryfile.h"
#include "Model/Persistence/settingsfolder.h"

#include <QFile>
#include <QLoggingCategory>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <map>
#include <mutex>

Q_LOGGING_CATEGORY(lcProcessFactory, "Model/Process/processfactory", QtInfoMsg)

namespace Model::Process {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<uint32_t, Process> processes;
};

// Never destroyed, like the material registry: lookups may come late during exit.
Registry& registry() {
    static Registry* instance = new Registry;
    return *instance;
}

void fillDefaults(std::map<uint32_t, Process>& processes) {
    processes.clear();
    const Process table[] = {
        {QStringLiteral("Si Wet Etching"), 1, {1}},
        {QStringLiteral("DRIE"), 2, {1}},
        {QStringLiteral("CVD"), 3, {3, 16, 17}},
        {QStringLiteral("PVD"), 4, {4, 5, 6, 7, 8, 9, 10}},
        {QStringLiteral("Film Etching"), 5, {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}},
        {QStringLiteral("Photolithography"), 6, {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}},
        {QStringLiteral("Planarization"), 7, {}},
        {QStringLiteral("Spin Coating / Soft Lithography"), 8, {11, 12, 13}},
        {QStringLiteral("Isotropic Deposition"), 9, {3, 4, 5, 6, 7, 8, 9, 10}},
        {QStringLiteral("Isotropic Etching"), 10, {1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 17}},
        {QStringLiteral("Electroplating"), 11, {4, 5, 6, 7, 8, 9, 10}},
        {QStringLiteral("Simple Si Oxidation"), 12, {1, 14, 15, 16}},
        {QStringLiteral("Simple Doping"), 13, {1, 14, 15, 16}},
        {QStringLiteral("Ion Implantation"), 14, {1, 14, 15, 16}},
    };
    for (const Process& process : table)
        processes.emplace(process.getId(), process);
}

// Materials come first: the process lists refer to them.
const bool processesStarted =
    (Materials::MaterialFactory::getInstance(), ProcessFactory::getInstance(), true);

} // namespace

std::shared_ptr<ProcessFactory> ProcessFactory::getInstance() {
    static const auto* instance = new std::shared_ptr<ProcessFactory>([] {
        Materials::MaterialFactory::getInstance();
        std::shared_ptr<ProcessFactory> factory(new ProcessFactory);
        factory->loadOrCreateDefaults();
        return factory;
    }());
    return *instance;
}

bool ProcessFactory::loadOrCreateDefaults() {
    if (loadProcesses())
        return true;
    Persistence::keepUnreadableSettingsFile(fileName());
    createDefaultProcesses();
    saveProcesses();
    return false;
}

bool ProcessFactory::loadProcesses() {
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);

    // As for the materials: nothing of a damaged file joins the registry.
    std::map<uint32_t, Process> read;
    const bool loaded = Persistence::readRegistryFile(
        fileName(), QLatin1String("Processes"), lcProcessFactory(), [&](QXmlStreamReader& reader) {
            bool ok = false;
            const Process process = Persistence::ProcessArchiver::loadProcess(reader, &ok);
            if (ok)
                read[process.getId()] = process;
        });
    if (loaded) {
        for (const auto& entry : read)
            reg.processes[entry.first] = entry.second;
    }
    return loaded;
}

void ProcessFactory::createDefaultProcesses() {
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    fillDefaults(reg.processes);
}

void ProcessFactory::saveProcesses() {
    QByteArray contents;
    {
        Registry& reg = registry();
        std::lock_guard<std::mutex> lock(reg.mutex);
        contents = Persistence::registryFileContents(
            QStringLiteral("Processes"), [&](QXmlStreamWriter& writer) {
                for (const auto& entry : reg.processes)
                    Persistence::ProcessArchiver::saveProcess(entry.second, writer);
            });
    }
    if (contents.isEmpty())
        return;
    // Written outside the lock so a slow disk does not stall lookups from worker threads.
    if (!Persistence::writeSettingsFile(fileName(), contents))
        qCDebug(lcProcessFactory) << "Could not write" << fileName();
}

Process ProcessFactory::getProcess(const QString& name) {
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    for (const auto& entry : reg.processes) {
        if (entry.second.getName() == name)
            return entry.second;
    }
    return Process();
}

Process ProcessFactory::getProcess(uint32_t id) {
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    const auto found = reg.processes.find(id);
    return found != reg.processes.end() ? found->second : Process();
}

std::vector<Process> ProcessFactory::getProcesses() {
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    std::vector<Process> result;
    result.reserve(reg.processes.size());
    for (const auto& entry : reg.processes)
        result.push_back(entry.second);
    return result;
}

bool ProcessFactory::updateProcess(const Process& process) {
    if (process.getId() == 0)
        return false;
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.processes[process.getId()] = process;
    return true;
}

} // namespace Model::Process
