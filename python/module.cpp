// The Python module `cellvane`: documents, cell volumes as numpy arrays, and every step of
// the executor of process records as a method.
#include "bindings.h"

#include <QGuiApplication>

namespace CellvanePython {

PythonProgress::PythonProgress(py::object callback)
    : callback(std::move(callback)), owner(std::this_thread::get_id()) {}

PythonProgress::~PythonProgress() = default;

void PythonProgress::start(std::uint64_t steps, const QString& name) {
    {
        std::lock_guard<std::mutex> guard(stageLock);
        total = steps;
        stage = name;
    }
    done = 0;
    reportedDone = ~std::uint64_t(0);
}

bool PythonProgress::wasCancelled() const {
    if (cancelled)
        return true;
    // Signal handlers and the callback belong to the thread that started the step.
    if (std::this_thread::get_id() != owner)
        return false;
    py::gil_scoped_acquire locked;
    if (PyErr_CheckSignals() != 0) {
        stop.emplace();
        cancelled = true;
        return true;
    }
    if (!callback.is_none() && done.load() != reportedDone) {
        try {
            report();
        } catch (py::error_already_set& error) {
            stop.emplace(std::move(error));
            cancelled = true;
        }
    }
    return cancelled;
}

void PythonProgress::report() const {
    reportedDone = done.load();
    QString name;
    std::uint64_t steps = 0;
    {
        std::lock_guard<std::mutex> guard(stageLock);
        name = stage;
        steps = total;
    }
    callback(reportedDone, steps, name.toStdString());
}

void PythonProgress::raiseStop() {
    if (stop) {
        py::error_already_set error = std::move(*stop);
        stop.reset();
        throw error;
    }
    PyErr_SetNone(PyExc_KeyboardInterrupt);
    throw py::error_already_set();
}

namespace {

// The registries, the thread pool and the headless pictures expect an application object, as
// in the command-line programs; text in cross-section pictures needs the graphics system's
// fonts. No widget is made, and the offscreen platform needs no display.
void ensureApplication() {
    if (QCoreApplication::instance())
        return;
    static char name[] = "cellvane";
    static char option[] = "-platform";
    static char platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    // A platform the user chose stays theirs; the environment is left as it was.
    static int argc = qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ? 3 : 1;
    // Kept for the life of the process: Python unloads extension modules only at exit.
    new QGuiApplication(argc, argv);
}

} // namespace

} // namespace CellvanePython

PYBIND11_MODULE(cellvane, module) {
    using namespace CellvanePython;
    module.doc() =
        "Cellvane from Python: documents, cell volumes whose material ids are numpy arrays, "
        "and every fabrication step of the process lists as a method of Volume with the step's "
        "values as keyword arguments.";
    ensureApplication();
    bindDocuments(module);
    bindSteps(module);
    // Measurements and cross-sections are the "Measure" and "Save Cross-Section" steps.
}
