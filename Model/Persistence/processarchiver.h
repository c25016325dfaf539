#pragma once

#include "Model/Process/process.h"

#include <cstdint>
#include <list>

class QXmlStreamReader;
class QXmlStreamWriter;

namespace Model::Persistence {

// Reads and writes one "Process" element with its "CompatibleMaterials" child.
class ProcessArchiver {
public:
    // Reads the "Process" element the reader stands on, then its compatible materials. `ok` is
    // false (and the empty process returned) for another element, an id or version that is no
    // number, id 0, or no name; the child is then left unread.
    static Process::Process loadProcess(QXmlStreamReader& reader, bool* ok);
    // Reads the next start element; if it is "CompatibleMaterials", the ";"-separated ids of
    // its text. Parts that are no number are skipped.
    static std::list<uint32_t> loadCompatibleMaterials(QXmlStreamReader& reader);

    static void saveProcess(const Process::Process& process, QXmlStreamWriter& writer);
    static void saveCompatibleMaterials(const Process::Process& process, QXmlStreamWriter& writer);
};

} // namespace Model::Persistence
