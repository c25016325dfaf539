#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>

class QXmlStreamReader;
class QXmlStreamWriter;

namespace Model {
class Object;
}

namespace Model::Persistence {

// Material id as a document gives it -> the id the material has in this run's registry.
using MaterialIdMap = std::map<std::uint32_t, std::uint32_t>;

// Writes and reads one kind of document object. A document finds the archiver for an object
// through its type code, so a new kind of object only needs a new archiver in the table.
class ObjectArchiver {
public:
    virtual ~ObjectArchiver() = default;
    virtual void setWriter(QXmlStreamWriter* writer) = 0;
    virtual void setReader(QXmlStreamReader* reader) = 0;
    // The ids that cells read from now on are renumbered through; may be null.
    virtual void setMaterialIdMap(MaterialIdMap* map) = 0;
    // Writes the object at the writer's current position. False when the object is not of
    // this archiver's kind or the writer failed.
    virtual bool save(std::shared_ptr<Model::Object> object) = 0;
    // Builds a new object from the element the reader stands on; null when the element cannot
    // be turned into one (errorString() then says why in words for the user).
    virtual std::shared_ptr<Model::Object> load() = 0;
    virtual QString errorString() const { return QString(); }
    // What the last load() read in a way the user should hear of, though it built the object
    // (console warnings, each a sentence).
    virtual QStringList warnings() const { return QStringList(); }
};

// Object type code (Object::getType) -> the archiver of that kind.
using ArchiverTable = std::map<int, std::shared_ptr<ObjectArchiver>>;

} // namespace Model::Persistence
