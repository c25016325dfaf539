#pragma once

#include "Model/Materials/material.h"
#include "Model/Persistence/objectarchiver.h"
#include "Model/layer.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

class QIODevice;
class QXmlStreamReader;

namespace Model {
class Document;
}

namespace Model::Persistence {

// The document file: a "Document" root with a "Header", every registered material, then one
// element per object written by the archiver of its kind.
//
// Reading matches the file's materials against the registry (new ones are registered, equal
// ones reused, clashing ones registered under fresh ids) and renumbers the cells to suit. It
// only collects what it read; putting the objects into a document is the caller's decision.
class DocumentArchiver {
public:
    enum class ReadStatus {
        Complete,     // the whole file was read
        Damaged,      // the XML broke off after the header; `objects` holds what came before
        NotADocument, // no "Document" root with a "Header" first
        Refused,      // an object could not be read (too large, no size, too many objects)
    };

    struct ReadResult {
        ReadStatus status = ReadStatus::NotADocument;
        Model::ObjectList objects;
        // Console warnings, in the order they arose.
        QStringList warnings;
        // What went wrong, in words for the user (Damaged and Refused).
        QString error;
        // The file's scale; every cell volume read carries it too. Files without one (all
        // files written before documents had a scale) are in micrometres.
        double micrometresPerSceneUnit = 1.0;
        // The file's material ids -> the registry's, for what this file's cells were read with.
        MaterialIdMap materialIds;
    };

    // The Header's attribute that holds the document's scale. It is written only when the
    // scale is not 1 µm per scene unit, so documents at that scale are written exactly as
    // before; readers that predate it pass over it, as they pass over every Header attribute.
    static QString scaleAttribute() { return QStringLiteral("micrometres-per-scene-unit"); }
    static QString scaleWarning(const QString& value) {
        return QStringLiteral("WARNING: The document's scale \"%1\" is not a positive number "
                              "of micrometres per scene unit; it is read as 1.")
            .arg(value);
    }

    // No real document comes near this many objects; a file that claims more is refused
    // before it can exhaust memory with small volumes.
    static constexpr int maximumObjects = 10000;

    explicit DocumentArchiver(const ArchiverTable& archivers) : archivers(archivers) {}

    // The archivers of every kind of object a document can hold.
    static ArchiverTable standardArchivers();

    // Writes the document to an open device. Objects of a kind without archiver are left out.
    // False when the device or an archiver failed.
    bool write(QIODevice* device, const Model::Document& document);

    // Reads a document from an open device. Every "Material" element sets the translation of
    // its id; cells are renumbered through the translations of this file only, so an id that
    // an earlier document renumbered is not changed in a file that does not renumber it.
    // A refused document hands out no objects, and the materials it registered are taken back.
    ReadResult read(QIODevice* device);

    // Every translation made by the documents read in this run (later entries win).
    static MaterialIdMap materialIdMap();
    // Forgets every translation. The program keeps them until it exits; a harness that treats
    // each input as a fresh start of the program calls this between inputs.
    static void forgetMaterialIdMap();

    // Matches a material of a file written by another program against the registry: new ones
    // are registered (their ids added to `registered`), equal ones reused, clashing ones
    // registered under fresh ids; `ids` gets the translation. False, with nothing changed, when
    // the registry cannot take it (no free id is left).
    static bool registerMaterial(Model::Materials::Material material, MaterialIdMap& ids,
                                 std::vector<std::uint32_t>& registered);

    static QString materialWarning() {
        return QStringLiteral("WARNING: There was an error loading a material. This may alter "
                              "the loaded cell volume.");
    }

private:
    // The scale on the Header the reader stands on.
    static void readScale(QXmlStreamReader& reader, ReadResult& result);
    // Adds the ids it registers to `registered`.
    void readMaterial(QXmlStreamReader& reader, MaterialIdMap& idMap,
                      std::vector<std::uint32_t>& registered, ReadResult& result);
    // False when reading has to stop.
    bool readObject(QXmlStreamReader& reader, MaterialIdMap& idMap, ReadResult& result);

    const ArchiverTable& archivers;
};

} // namespace Model::Persistence
