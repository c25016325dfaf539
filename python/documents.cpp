// Documents, cell volumes, the material registry and the exports, as Python sees them.
#include "bindings.h"

#include "Core/Operations/Document/documentfile.h"
#include "Core/Operations/iuserprompts.h"
#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Export/meshexport.h"
#include "Model/Export/vtiexporter.h"
#include "Model/Materials/materialfactory.h"
#include "Model/Metrology/scale.h"
#include "Model/ModelExtraction/mechanicsreport.h"
#include "Model/Transport/fluxengine.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <QStringList>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <set>

namespace CellvanePython {

using Model::Automaton::CellArraysLock;
using Model::Automaton::TotalVolume;
using Model::Materials::Material;
using Model::Materials::MaterialFactory;

std::shared_ptr<VolumeState> DocumentState::stateOf(const TotalVolume& volume) {
    std::lock_guard<std::mutex> guard(lock);
    auto& state = states[&volume];
    if (!state)
        state = std::make_shared<VolumeState>();
    return state;
}

void refuse(const QString& message) {
    throw py::value_error(message.toStdString());
}

void fileError(const QString& message) {
    PyErr_SetString(PyExc_OSError, message.toUtf8().constData());
    throw py::error_already_set();
}

QString toQString(const py::handle& text) {
    return QString::fromStdString(py::cast<std::string>(text));
}

QString pathOf(const py::handle& path) {
    const py::object text = py::module_::import("os").attr("fspath")(path);
    if (!py::isinstance<py::str>(text))
        throw py::type_error("a file name is a str or an os.PathLike of str");
    return toQString(text);
}

namespace {

// What the document reader would put in a message box becomes the text of the exception.
class CollectedPrompts : public Core::Operations::IUserPrompts {
public:
    void showMessage(Icon, const QString&, const QString& text) override { messages << text; }
    bool confirm(const QString&, const QString&) override { return false; }
    SaveChoice askToSave(const QString&, const QString&) override { return SaveChoice::Cancel; }
    QString chooseSaveFile(const QString&, const QString&) override { return QString(); }
    QString chooseOpenFile(const QString&, const QString&) override { return QString(); }

    QStringList messages;
};

std::vector<Volume> volumesOf(const Document& document) {
    std::vector<Volume> volumes;
    for (const Model::ObjectPtr& object : document.state->document.getObjects())
        if (auto cells = std::dynamic_pointer_cast<TotalVolume>(object))
            volumes.push_back(document.volumeOf(cells));
    return volumes;
}

Document openDocument(const py::object& path) {
    const QString fileName = pathOf(path);
    CollectedPrompts prompts;
    std::optional<Core::Operations::DocumentFile::Contents> contents;
    {
        py::gil_scoped_release unlocked;
        contents = Core::Operations::DocumentFile::load(
            fileName, Core::Operations::DocumentFile::archivers(), prompts);
    }
    if (!contents)
        fileError(prompts.messages.isEmpty() ? QStringLiteral("%1 could not be read").arg(fileName)
                                             : prompts.messages.join(QLatin1Char('\n')));
    // Working on part of a structure as if it were the whole would mislead whoever uses it.
    if (contents->status != Model::Persistence::DocumentArchiver::ReadStatus::Complete)
        fileError(QStringLiteral("%1 is damaged (%2); a damaged document is not used.")
                      .arg(fileName, contents->error));
    Document document;
    document.state->document.setMicrometresPerSceneUnit(contents->micrometresPerSceneUnit);
    for (const Model::ObjectPtr& object : contents->objects)
        document.state->document.addObject(object);
    document.state->document.setFileName(fileName);
    document.state->document.setModified(false);
    if (!contents->warnings.isEmpty()) {
        const py::object warn = py::module_::import("warnings").attr("warn");
        for (const QString& warning : contents->warnings)
            warn(warning.toStdString());
    }
    return document;
}

void saveDocument(const Document& document, const py::object& path) {
    const QString fileName = pathOf(path);
    QString problem;
    bool written = false;
    {
        py::gil_scoped_release unlocked;
        written = Core::Operations::DocumentFile::writeDocument(
            document.state->document, Core::Operations::DocumentFile::archivers(), fileName,
            &problem);
    }
    if (!written)
        fileError(QStringLiteral("could not write %1: %2").arg(fileName, problem));
    document.state->document.setFileName(fileName);
    document.state->document.setModified(false);
}

py::tuple colorOf(const Material& material) {
    return py::make_tuple(material.getRed(), material.getGreen(), material.getBlue(),
                          material.getAlpha());
}

// A registered material by id or name; the empty material is id 0, "Empty".
std::optional<Material> findMaterial(const py::handle& key) {
    const auto factory = MaterialFactory::getInstance();
    if (py::isinstance<py::str>(key)) {
        const QString name = toQString(key);
        for (const Material& material : factory->getMaterials())
            if (material.getName() == name)
                return material;
        if (name == Material().getName())
            return Material();
        return std::nullopt;
    }
    if (py::isinstance<py::bool_>(key) || !py::isinstance<py::int_>(key))
        throw py::type_error("a material is looked up by its name (str) or id (int)");
    const long long id = py::cast<long long>(key);
    if (id == 0)
        return Material();
    for (const Material& material : factory->getMaterials())
        if (material.getId() == id)
            return material;
    return std::nullopt;
}

// The view is built over the current cell array, whose memory stays where it is for the life
// of the volume: steps change cells in place and never swap the arrays.
py::array materialsView(const py::object& self) {
    const Volume& volume = py::cast<const Volume&>(self);
    TotalVolume& cells = *volume.cells;
    Model::Automaton::MaterialCells ids;
    {
        py::gil_scoped_release unlocked;
        const CellArraysLock locked(cells, CellArraysLock::Arrays::Current);
        ids = locked.materials();
    }
    const auto cell = py::ssize_t(Model::Automaton::MaterialCells::idStride);
    const std::vector<py::ssize_t> shape{cells.getSizeX(), cells.getSizeY(), cells.getSizeZ()};
    const std::vector<py::ssize_t> strides{cell * cells.getSizeY() * cells.getSizeZ(),
                                           cell * cells.getSizeZ(), cell};
    py::array view(py::dtype::of<Model::Automaton::MaterialId>(), shape, strides, ids.firstId(),
                   self);
    view.attr("flags").attr("writeable") = false;
    return view;
}

// The flux density on every surface cell (0 elsewhere), as a float32 array [x, y, z].
py::array_t<float> surfaceFlux(const Volume& volume, double sourceExponent, double sticking,
                               bool periodicSides, int raysPerCell, std::uint64_t seed,
                               const std::string& part) {
    if (part != "total" && part != "direct")
        refuse(QStringLiteral("part is \"total\" or \"direct\", not \"%1\"")
                   .arg(QString::fromStdString(part)));
    Model::Transport::FluxSettings settings;
    settings.sourceExponent = sourceExponent;
    settings.sticking = sticking;
    settings.periodicSides = periodicSides;
    settings.raysPerCell = raysPerCell;
    settings.seed = seed;
    if (const QString refusal = settings.refusal(); !refusal.isEmpty())
        refuse(refusal);
    TotalVolume& cells = *volume.cells;
    py::array_t<float> out({py::ssize_t(cells.getSizeX()), py::ssize_t(cells.getSizeY()),
                            py::ssize_t(cells.getSizeZ())});
    float* values = out.mutable_data();
    const bool direct = part == "direct";
    {
        py::gil_scoped_release unlocked;
        std::fill(values, values + cells.getCellCount(), 0.0f);
        std::lock_guard<std::mutex> running(volume.state->running);
        const Model::Transport::SurfaceFlux flux =
            Model::Transport::FluxEngine::compute(cells, settings);
        for (std::size_t k = 0; k < flux.size(); ++k)
            values[flux.cell(k)] = direct ? flux.directFlux(k) : flux.totalFlux(k);
    }
    return out;
}

void setMaterials(const Volume& volume, const py::object& values) {
    TotalVolume& cells = *volume.cells;
    const py::object numpy = py::module_::import("numpy");
    const py::array given = numpy.attr("asarray")(values);
    const std::vector<py::ssize_t> expected{cells.getSizeX(), cells.getSizeY(), cells.getSizeZ()};
    std::vector<py::ssize_t> shape(given.shape(), given.shape() + given.ndim());
    if (shape != expected)
        refuse(QStringLiteral("the materials must have the volume's shape (%1, %2, %3), not %4")
                   .arg(expected[0])
                   .arg(expected[1])
                   .arg(expected[2])
                   .arg(toQString(py::str(py::tuple(py::cast(shape))))));
    const char kind = given.dtype().kind();
    if (kind != 'i' && kind != 'u')
        refuse(QStringLiteral("material ids are whole numbers, not an array of dtype %1")
                   .arg(toQString(py::str(given.dtype()))));
    // Ids beyond what int64 holds would wrap in the conversion below; none is registered.
    if (kind == 'u' && given.size() > 0 &&
        py::cast<std::uint64_t>(given.attr("max")()) > std::uint64_t(INT64_MAX))
        refuse(QStringLiteral("there is no material with id %1")
                   .arg(toQString(py::str(given.attr("max")()))));
    const auto ids = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>(given);
    std::set<std::int64_t> known{0};
    for (const Material& material : MaterialFactory::getInstance()->getMaterials())
        known.insert(material.getId());
    const std::int64_t* source = ids.data();
    const std::size_t count = std::size_t(ids.size());
    std::optional<std::int64_t> unknown;
    {
        py::gil_scoped_release unlocked;
        for (std::size_t i = 0; i < count && !unknown; ++i)
            if (!known.count(source[i]))
                unknown = source[i];
        if (!unknown) {
            std::lock_guard<std::mutex> running(volume.state->running);
            const CellArraysLock locked(cells);
            const Model::Automaton::MaterialCells materials = locked.materials();
            for (std::size_t i = 0; i < count; ++i)
                materials.set(std::ptrdiff_t(i), Model::Automaton::MaterialId(source[i]));
            volume.state->history.setLatticeRebuildNeeded(cells.getId(), true);
        }
    }
    if (unknown)
        refuse(QStringLiteral("there is no material with id %1").arg(*unknown));
}

py::list exportMesh(const Volume& volume, const py::object& path) {
    const QString target = pathOf(path);
    if (Model::Export::MeshExport::formatOf(target) == Model::Export::MeshExport::Format::Unknown)
        refuse(Model::Export::MeshExport::unknownFormat(target));
    Model::Export::ExportResult result;
    {
        py::gil_scoped_release unlocked;
        result = Model::Export::MeshExport::write(*volume.cells, target);
    }
    if (!result.ok)
        fileError(result.error);
    py::list files;
    for (const QString& file : result.files)
        files.append(file.toStdString());
    return files;
}

void exportVti(const Volume& volume, const py::object& path, bool compress) {
    const QString fileName = pathOf(path);
    Model::Export::ExportResult result;
    {
        py::gil_scoped_release unlocked;
        result = Model::Export::VtiExporter::write(*volume.cells, fileName, compress);
    }
    if (!result.ok)
        fileError(result.error);
}

py::object mechanicsReport(const Volume& volume, double adhesionEnergy, double waferDiameter,
                           double waferThickness) {
    if (!(adhesionEnergy > 0) || !(waferDiameter > 0) || !(waferThickness > 0) ||
        !std::isfinite(adhesionEnergy + waferDiameter + waferThickness))
        refuse(QStringLiteral("the adhesion energy and the wafer's size must be positive"));
    Model::ModelExtraction::MechanicsReport::Parameters parameters;
    parameters.adhesionEnergy = adhesionEnergy;
    parameters.waferDiameter = waferDiameter * 1e-3;
    parameters.waferThickness = waferThickness * 1e-6;
    std::optional<Model::ModelExtraction::MechanicsReport> report;
    {
        py::gil_scoped_release unlocked;
        report = Model::ModelExtraction::MechanicsReport::of(*volume.cells, parameters);
    }
    return py::module_::import("json").attr("loads")(py::str(report->toJson().toStdString()));
}

py::tuple triple(double x, double y, double z) {
    return py::make_tuple(x, y, z);
}

} // namespace

void bindDocuments(py::module_& module) {
    py::class_<Material>(module, "Material",
                         "A material of the registry (~/Cellvane/materials.xml): the meaning of "
                         "a cell's material id.")
        .def_property_readonly("id", &Material::getId)
        .def_property_readonly("name", [](const Material& m) { return m.getName().toStdString(); })
        .def_property_readonly("color", &colorOf, "Red, green, blue, alpha, each 0 to 1.")
        .def_property_readonly("density", &Material::getDensity)
        .def_property_readonly("young_modulus", &Material::getYoungModulus)
        .def_property_readonly("poisson_ratio", &Material::getPoissonRatio)
        .def("__repr__", [](const Material& m) {
            return QStringLiteral("<cellvane.Material %1 '%2'>")
                .arg(m.getId())
                .arg(m.getName())
                .toStdString();
        });

    module.def(
        "materials", [] { return MaterialFactory::getInstance()->getMaterials(); },
        "Every registered material, in ascending id order (id 0, the empty cell, is not "
        "listed).");
    module.def(
        "material",
        [](const py::object& key) {
            const auto found = findMaterial(key);
            if (!found)
                throw py::key_error(QStringLiteral("there is no material %1")
                                        .arg(toQString(py::repr(key)))
                                        .toStdString());
            return *found;
        },
        py::arg("key"),
        "The material of that name (str) or id (int); KeyError when there is none. 0 and "
        "\"Empty\" give the empty material.");

    py::class_<Volume>(module, "Volume",
                       "A cell volume of a document: a box of equal cuboid cells, each holding "
                       "one material id. It keeps its document alive.")
        .def_property_readonly(
            "size",
            [](const Volume& v) {
                return py::make_tuple(v.cells->getSizeX(), v.cells->getSizeY(),
                                      v.cells->getSizeZ());
            },
            "Cells along x, y and z.")
        .def_property_readonly(
            "cell_size",
            [](const Volume& v) {
                const auto edges = Model::Metrology::CellEdges::of(*v.cells);
                return triple(edges.x, edges.y, edges.z);
            },
            "Edge lengths of one cell along x, y and z, in µm.")
        .def_property_readonly(
            "position",
            [](const Volume& v) {
                const Util::Vector3D p = v.cells->getPosition();
                const double scale = Model::Metrology::micrometresPerSceneUnit(*v.cells);
                return triple(p.x * scale, p.y * scale, p.z * scale);
            },
            "Position of the volume's lower left front corner in the scene, in µm.")
        .def_property_readonly(
            "crystal_orientation",
            [](const Volume& v) {
                return Model::Automaton::crystalOrientationName(v.cells->getCrystalOrientation())
                    .toStdString();
            },
            "The wafer's surface plane, \"100\" or \"110\", which the wet etches follow.")
        .def_property_readonly(
            "document", [](const Volume& v) { return Document{v.document}; },
            "The document that holds the volume.")
        .def_property_readonly(
            "materials", &materialsView,
            "The material id of every cell, as a read-only numpy array of uint16 that views "
            "the cells without copying them: materials[x, y, z], with x, y and z counted from "
            "the volume's lower left front corner (z upwards). It follows every later step on "
            "the volume and keeps the volume (and its document) alive; read it while no step "
            "runs on the volume in another thread, or take a copy (materials.copy()).")
        .def("set_materials", &setMaterials, py::arg("materials"),
             "Writes every cell's material id from an integer array of the volume's shape "
             "(indexed [x, y, z]); ValueError for another shape or an id the registry does "
             "not know, and then no cell changes.")
        .def("surface_flux", &surfaceFlux, py::kw_only(), py::arg("source_exponent") = 1.0,
             py::arg("sticking") = 1.0, py::arg("periodic_sides") = false,
             py::arg("rays_per_cell") = 64, py::arg("seed") = 0, py::arg("part") = "total",
             "The particle flux on every surface cell, as a float32 array [x, y, z] (0 off the "
             "surface), normalised so that an unshadowed horizontal surface receives 1: a source "
             "of cosine power `source_exponent` (1 Lambertian, 100 and more ions) above the "
             "volume, every material sticking with probability `sticking` and re-emitting "
             "diffusely otherwise. `part` \"direct\" counts first arrivals only. The same seed "
             "gives the same array at any thread count; ValueError for settings out of range.")
        .def("export_mesh", &exportMesh, py::arg("path"),
             "Writes the exact boundary surface of each material: a name ending in .obj gives "
             "one OBJ file (with its .mtl), one ending in .stl one binary STL per material "
             "beside it, a name without suffix a folder of <material>.stl. Returns the files "
             "written; OSError when they could not be.")
        .def("mechanics_report", &mechanicsReport,
             py::arg("adhesion_energy") = Model::ModelExtraction::Mechanics::waterSurfaceTension,
             py::arg("wafer_diameter_mm") = 100.0, py::arg("wafer_thickness_um") = 525.0,
             "The mechanics of the volume's free-standing beams as cellvane-extract --report "
             "writes it: a dict with \"beams\" (length, gap, stiffness, resonance, peel number "
             "and detachment length, tip deflection, pull-in voltage, ...) and \"wafer_bow_um\". "
             "adhesion_energy is the rinse liquid's gamma_s in J/m^2 (water on a hydrophilic "
             "surface by default).")
        .def("export_vti", &exportVti, py::arg("path"), py::arg("compress") = false,
             "Writes the cells as VTK image data (cell array \"material\"); OSError when the "
             "file could not be written.")
        .def("__eq__",
             [](const Volume& a, const py::object& b) {
                 return py::isinstance<Volume>(b) && a.cells == py::cast<const Volume&>(b).cells;
             })
        .def("__hash__", [](const Volume& v) { return std::hash<const void*>()(v.cells.get()); })
        .def("__repr__", [](const Volume& v) {
            return QStringLiteral("<cellvane.Volume %1 x %2 x %3 cells>")
                .arg(v.cells->getSizeX())
                .arg(v.cells->getSizeY())
                .arg(v.cells->getSizeZ())
                .toStdString();
        });

    py::class_<Document>(module, "Document", "The cell volumes the user works on.")
        .def(py::init<>(), "An empty document.")
        .def_property_readonly("volumes", &volumesOf, "The document's cell volumes, in order.")
        .def_property_readonly(
            "file_name",
            [](const Document& d) -> py::object {
                const QString name = d.state->document.getFileName();
                if (name.isEmpty())
                    return py::none();
                return py::str(name.toStdString());
            },
            "The file the document was opened from or last saved to; None before that.")
        .def_property(
            "micrometres_per_scene_unit",
            [](const Document& d) { return d.state->document.getMicrometresPerSceneUnit(); },
            [](const Document& d, double value) {
                if (!Model::Document::isUsableScale(value))
                    throw py::value_error("the scale must be a positive number of micrometres "
                                          "per scene unit");
                d.state->document.setMicrometresPerSceneUnit(value);
            },
            "The document's scale: micrometres per scene unit (1 unless its file says "
            "otherwise). Cell sizes and positions are kept in scene units; every length the "
            "module reports is in µm through this scale, so changing it rescales them all.")
        .def("save", &saveDocument, py::arg("path"),
             "Writes the document (*.cvx). An earlier file of that name is replaced only once "
             "the new one is complete; OSError when it could not be written.")
        .def("__eq__",
             [](const Document& a, const py::object& b) {
                 return py::isinstance<Document>(b) &&
                        a.state == py::cast<const Document&>(b).state;
             })
        .def("__hash__", [](const Document& d) { return std::hash<const void*>()(d.state.get()); })
        .def("__repr__", [](const Document& d) {
            return QStringLiteral("<cellvane.Document of %1 cell volumes>")
                .arg(volumesOf(d).size())
                .toStdString();
        });

    module.def("open", &openDocument, py::arg("path"),
               "Reads a document (*.cvx). OSError when it cannot be read or is damaged; the "
               "reader's warnings become Python warnings.");
}

} // namespace CellvanePython
