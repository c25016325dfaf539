#pragma once

// What the parts of the Python module share: the state behind a document and its volumes,
// the conversion of the program's failures into Python exceptions, and the progress reporter
// that lets Python hear about and stop a long step.

#include "Core/Operations/Undo/processhistory.h"
#include "Model/document.h"
#include "Util/progressreporter.h"

#include <pybind11/pybind11.h>

#include <QString>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace Model::Automaton {
class TotalVolume;
}

namespace CellvanePython {

namespace py = pybind11;

// What a volume needs besides its cells: its history (last step, silicon lattice out of date),
// and the lock that has the steps on one volume run one after the other.
struct VolumeState {
    std::mutex running;
    Core::Operations::ProcessHistory history;
};

// A document and the state of each of its volumes. Python objects hold it by shared pointer,
// so that a volume (and a view of its cells) keeps its document alive.
struct DocumentState {
    Model::Document document;

    std::shared_ptr<VolumeState> stateOf(const Model::Automaton::TotalVolume& volume);

private:
    std::mutex lock;
    std::map<const Model::Automaton::TotalVolume*, std::shared_ptr<VolumeState>> states;
};

// A cell volume as Python sees it.
struct Volume {
    std::shared_ptr<DocumentState> document;
    std::shared_ptr<Model::Automaton::TotalVolume> cells;
    std::shared_ptr<VolumeState> state;
};

// A document as Python sees it.
struct Document {
    std::shared_ptr<DocumentState> state = std::make_shared<DocumentState>();

    Volume volumeOf(const std::shared_ptr<Model::Automaton::TotalVolume>& cells) const {
        return {state, cells, state->stateOf(*cells)};
    }
};

// Tells Python's `progress(done, total, stage)` how far a step is, and stops the step when
// Ctrl-C arrived or the callback raised. Python is only entered on the thread that started
// the step, and only between the engine's steps, with the interpreter lock taken for that
// moment; the pool's threads only count.
class PythonProgress : public Util::ProgressReporter {
public:
    explicit PythonProgress(py::object callback);
    ~PythonProgress() override;

    void start(std::uint64_t total, const QString& stage = QString()) override;
    void advance(std::uint64_t steps = 1) override { done += steps; }
    bool wasCancelled() const override;

    // With the interpreter lock held: raises what stopped the run (KeyboardInterrupt or the
    // callback's exception); a KeyboardInterrupt when the run was stopped otherwise.
    [[noreturn]] void raiseStop();

private:
    // Calls into Python; the interpreter lock is held.
    void report() const;

    py::object callback;
    std::thread::id owner;
    mutable std::mutex stageLock;
    std::uint64_t total = 0;
    QString stage;
    std::atomic<std::uint64_t> done{0};
    mutable std::uint64_t reportedDone = ~std::uint64_t(0);
    mutable std::atomic<bool> cancelled{false};
    mutable std::optional<py::error_already_set> stop;
};

// Python exceptions of the program's failures: a refused value, and a file that could not be
// read or written.
[[noreturn]] void refuse(const QString& message);
[[noreturn]] void fileError(const QString& message);

QString toQString(const py::handle& text);
// A str or an os.PathLike.
QString pathOf(const py::handle& path);

void bindDocuments(py::module_& module);
void bindSteps(py::module_& module);

} // namespace CellvanePython
