#pragma once

#include "Model/Process/process.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace Model::Process {

// The process-wide process registry: process id -> Process. Filled during static
// initialisation (after the material registry) from "processes.xml" in the settings folder, or
// from the built-in table, which is then written there. Every call locks the registry for its
// whole duration and hands out copies.
class ProcessFactory {
public:
    static std::shared_ptr<ProcessFactory> getInstance();

    // What start-up does: load the file or, when that fails, keep the unreadable file as
    // "<name>.bak", fill the registry from the built-in table and write it. Returns whether
    // the file loaded.
    bool loadOrCreateDefaults();

    // Reads "processes.xml" into the registry without clearing it; later records win.
    // False, with the registry unchanged, when the file is missing, unreadable or malformed.
    bool loadProcesses();
    // Replaces every record by the built-in table.
    void createDefaultProcesses();
    // Writes the registry to "processes.xml"; an unwritable settings folder is tolerated.
    void saveProcesses();

    // The first process in ascending id order whose name matches exactly (case-sensitive), or
    // the empty process (id 0). Process dialogs find their materials this way.
    Process getProcess(const QString& name);
    Process getProcess(uint32_t id);
    std::vector<Process> getProcesses();
    // Inserts or replaces by id; id 0 is refused. Nothing is written to disk.
    bool updateProcess(const Process& process);

    static QString fileName() { return QStringLiteral("processes.xml"); }

    ProcessFactory(const ProcessFactory&) = delete;
    ProcessFactory& operator=(const ProcessFactory&) = delete;

private:
    ProcessFactory() = default;
};

} // namespace Model::Process
