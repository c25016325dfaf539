// processes.xml: what the registry accepts comes back the same after it writes its own file;
// a file it refuses leaves the registry as it was.

#include "fuzzsupport.h"

#include "Model/Persistence/settingsfolder.h"
#include "Model/Process/processfactory.h"

#include <QDir>

#include <vector>

using Model::Process::Process;
using Model::Process::ProcessFactory;

namespace {

bool identical(const std::vector<Process>& a, const std::vector<Process>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].getId() != b[i].getId() || a[i].getName() != b[i].getName() ||
            a[i].getCompatibleMaterialIds() != b[i].getCompatibleMaterialIds() ||
            a[i].getEtchRates() != b[i].getEtchRates())
            return false;
    }
    return true;
}

QString registryFile() {
    return Model::Persistence::settingsFilePath(ProcessFactory::fileName());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto registry = ProcessFactory::getInstance();
    registry->createDefaultProcesses();
    const Fuzz::AtExit restore([&] { registry->createDefaultProcesses(); });
    const std::vector<Process> before = registry->getProcesses();
    QDir().mkpath(Model::Persistence::settingsFolderPath());
    Fuzz::writeFile(registryFile(), Fuzz::bytesOf(data, size));

    if (!registry->loadProcesses()) {
        FUZZ_CHECK(identical(registry->getProcesses(), before),
                   "a refused processes.xml changed the registry");
        return 0;
    }

    const std::vector<Process> accepted = registry->getProcesses();
    registry->saveProcesses();
    const QByteArray written = Fuzz::readFile(registryFile());
    registry->createDefaultProcesses();
    FUZZ_CHECK(registry->loadProcesses(), "the registry refused the file it wrote itself");
    FUZZ_CHECK(identical(registry->getProcesses(), accepted), "a round trip changed a process");
    registry->saveProcesses();
    FUZZ_CHECK(Fuzz::readFile(registryFile()) == written,
               "a round trip changed the registry's file");
    return 0;
}
