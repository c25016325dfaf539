#pragma once

#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace Model::Automaton {
class KeptMaterials;
struct MaterialChanges;
class TotalVolume;
} // namespace Model::Automaton

namespace Core::Operations {

class OperationContext;

// Undo and redo of a simulation that changes a volume's cells in place. Just before the run the
// volume's materials are kept, compressed, in memory; just after it, the cells that changed are
// appended as one record to the presenter's undo snapshot file (with the materials they had)
// and one to its redo file (with the materials they have now). undo() and redo() write a
// record's materials back: an undo finds the cells as the run left them, a redo as the undo
// left them, so a record of only the changed cells is all either needs.
//
// The protocol (RunSnapshots follows it for every in-place process):
//
//     recorded = helper.recordBefore(volume) && ...;   // just before the engine runs
//     engine.run();                                     // (stopped half-way: helper.putBack)
//     recorded = helper.recordAfter(volume) && recorded; // just after
//     helper.forgetBefore();                             // once the step has finished
//     ...
//     undo: if (!helper.undo(volume)) tell the user the cells were left unchanged
//     redo: if (!helper.redo(volume)) likewise
//
// Records are told apart only by key and instance, so no two operations may share both. A
// record is binary: a header naming the key, the instance and the volume's cell count, then
// the compressed runs of changed cells (Model::Automaton::MaterialChanges), one frame per slab.
class TotalVolumeUndoRedoHelper {
public:
    TotalVolumeUndoRedoHelper(const QString& key, int instance, OperationContext& context);
    ~TotalVolumeUndoRedoHelper();

    // Keeps the volume's materials until forgetBefore(). False when the records of
    // this run cannot be written (no snapshot files, an undo file that cannot be appended to, a
    // key that is not one word) or there is no memory for the copy; `problem` then says why.
    // The copy is kept whenever memory allows, so that putBack() works either way.
    bool recordBefore(Model::Automaton::TotalVolume& volume, QString* problem = nullptr);
    // Appends the cells that changed since recordBefore() to the undo and the redo file. False when
    // nothing was kept or a write failed (a partial record is cut off again); `problem` then names
    // the file and the system's reason.
    bool recordAfter(Model::Automaton::TotalVolume& volume, QString* problem = nullptr);
    // Writes the kept materials back (a run stopped half-way, even after recordAfter()). False,
    // with the cells unchanged, when nothing was kept.
    bool putBack(Model::Automaton::TotalVolume& volume);
    // Lets the kept copy go, once the run can no longer be stopped half-way.
    void forgetBefore();

    // Apply the record of this run from the undo (redo) file, rebuild the painter, mark the
    // silicon lattice out of date and have the views redraw. False when no whole record could
    // be read; the cells are then left exactly as they were.
    bool undo(Model::Automaton::TotalVolume& volume);
    bool redo(Model::Automaton::TotalVolume& volume);

    // Writes the materials of the first record of `fileName` that has this key and instance
    // into the volume. A missing file, no matching record, or a matching record that is cut off,
    // damaged or of a volume of another size leaves the volume unchanged: the record is read and
    // checked whole before any cell changes.
    bool applyRecord(const QString& fileName, Model::Automaton::TotalVolume& volume) const;
    // Appends `changes` to `fileName` as this run's record. The writer behind recordAfter.
    bool appendRecord(const QString& fileName, const Model::Automaton::MaterialChanges& changes,
                      QString* problem = nullptr) const;

    // The key and instance of every whole record of `fileName`, in the file's order.
    static std::vector<std::pair<QString, int>> recordNames(const QString& fileName);

    const QString& getKey() const { return key; }
    int getInstance() const { return instance; }
    // Records written by another program (a recovered journal's) hold that program's material
    // ids: applyRecord() translates them into this registry's through `ids`.
    void setMaterialIds(std::shared_ptr<const std::map<std::uint32_t, std::uint32_t>> ids) {
        materialIds = std::move(ids);
    }

private:
    bool restore(const QString& fileName, Model::Automaton::TotalVolume& volume);

    QString key;
    int instance;
    OperationContext& context;
    std::unique_ptr<Model::Automaton::KeptMaterials> before;
    std::shared_ptr<const std::map<std::uint32_t, std::uint32_t>> materialIds;
};

} // namespace Core::Operations
