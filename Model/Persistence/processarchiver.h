#pragma once

#include "Model/Process/process.h"

#include <cstdint>
#include <list>
#include <map>

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
    // Reads on to the end of the "Process" element, taking the rates of an "EtchRates" child:
    // one "Rate" element per material with "material-id" and "value" (µm/min). A rate whose
    // numbers do not parse, or that is negative, is skipped. Files without the child (all
    // those written before it existed) give an empty table; older readers skip the child.
    static std::map<uint32_t, double> loadEtchRates(QXmlStreamReader& reader);

    static void saveProcess(const Process::Process& process, QXmlStreamWriter& writer);
    static void saveCompatibleMaterials(const Process::Process& process, QXmlStreamWriter& writer);
    // Writes "EtchRates" only for a process that has a table, so files without one stay as
    // they were.
    static void saveEtchRates(const Process::Process& process, QXmlStreamWriter& writer);
};

} // namespace Model::Persistence
