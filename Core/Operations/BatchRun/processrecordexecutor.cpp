#include "Core/Operations/BatchRun/processrecordexecutor.h"

#include "Core/Operations/Anisotropic/anisotropicfilmdepositionoperation.h"
#include "Core/Operations/BatchRun/recordvalues.h"
#include "Core/Operations/Doping/dopingoperations.h"
#include "Core/Operations/Flux/boschdrie.h"
#include "Core/Operations/Flux/fluxprocessoperations.h"
#include "Core/Operations/Isotropic/electrodeposition.h"
#include "Core/Operations/Isotropic/isotropicfilmdeposition.h"
#include "Core/Operations/Isotropic/isotropicfilmetching.h"
#include "Core/Operations/Isotropic/isotropicprocessoperations.h"
#include "Core/Operations/MooreNeighborhood/mooreneighborhooddeposition.h"
#include "Core/Operations/MooreNeighborhood/mooreneighborhoodetching.h"
#include "Core/Operations/MooreNeighborhood/mooreneighborhoodoperations.h"
#include "Core/Operations/Photolithography/photolithography.h"
#include "Core/Operations/Photolithography/photolithographyoperation.h"
#include "Core/Operations/Planarization/planarization.h"
#include "Core/Operations/Planarization/spincoating.h"
#include "Core/Operations/ReactiveIonEtching/simplereactiveionetching.h"
#include "Core/Operations/ReactiveIonEtching/simplereactiveionetchingoperation.h"
#include "Core/Operations/SiEtching/atomicstructuresimplesiwetetch.h"
#include "Core/Operations/SiEtching/boronetchstop.h"
#include "Core/Operations/SiEtching/kohrecipe.h"
#include "Core/Operations/SiEtching/maskwear.h"
#include "Core/Operations/SiEtching/siwetetchoperation.h"
#include "Core/Operations/SiOxidation/simplesioxidationoperation.h"
#include "Core/Operations/Undo/processhistory.h"
#include "Core/Operations/celllength.h"
#include "Core/Operations/raterecipe.h"
#include "Core/Operations/substratedescription.h"
#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/cellgrid.h"
#include "Model/Automaton/keptmaterials.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Export/crosssectionpicture.h"
#include "Model/Layout/layoutmask.h"
#include "Model/Metrology/freestructures.h"
#include "Model/Metrology/measurementquery.h"
#include "Model/Metrology/scale.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

namespace Core::Operations {

using Model::Automaton::TotalVolume;
namespace names = RecordParameters;

namespace {

// What a step did to the silicon of its volume, for the lattice the next wet etch works on.
enum class Silicon { Unchanged, Changed, LatticeCurrent };

struct StepRun {
    StepRun() = default;
    StepRun(QString refusal, Silicon silicon = Silicon::Unchanged)
        : refusal(std::move(refusal)), silicon(silicon) {}

    // Why the values were refused; nothing ran.
    QString refusal;
    Silicon silicon = Silicon::Unchanged;
    // How the step's length was rounded to whole cells, and the length it made.
    QString note;
    std::vector<ProcessRecordExecutor::MadeLength> made;
};

Silicon changedIf(bool changesSilicon) {
    return changesSilicon ? Silicon::Changed : Silicon::Unchanged;
}

// The engines take material ids as int; a cell holds no larger id than the record may give.
int materialId(RecordValues& values, const QString& name) {
    return int(values.materialId(name));
}

int wholeAsInt(RecordValues& values, const QString& name) {
    return int(std::min<unsigned>(values.whole(name), unsigned(INT_MAX)));
}

// A thickness or depth becomes whole cells: refused (the text returned) below half a cell,
// otherwise noted in `run` with the length the step makes under the record's parameter name.
QString madeLength(const TotalVolume& volume, const QString& parameter,
                   const LengthRequest& request, StepRun& run) {
    const CellLength length = CellLength::of(volume, request.microns);
    if (QString refusal = length.refusal(request.what); !refusal.isEmpty())
        return refusal;
    run.note = length.note(request.done);
    run.made.push_back({parameter, length.microns()});
    return QString();
}

// Each step reads every value it needs before it touches the volume, so a record that lacks
// one changes nothing. The silicon rule of each step is that of its interactive operation, so
// a wet etch after the list sees the same lattice as after the same steps from the menus.

// A side's layout, all of whose values a record may leave out; read before the record is
// judged complete, so that every caller that lists a step's values sees them.
struct SideLayout {
    QString fileAndLayer;
    Model::Layout::LayoutMaskSource source;
};

SideLayout readLayout(RecordValues& values, const QString& side) {
    const auto names = names::layout(side);
    SideLayout layout;
    layout.fileAndLayer = values.optionalText(names.source);
    layout.source.cell = values.optionalText(names.cell);
    layout.source.offsetX = values.optionalReal(names.offsetX, 0.0);
    layout.source.offsetY = values.optionalReal(names.offsetY, 0.0);
    layout.source.rotation = values.optionalInteger(names.rotation, 0);
    layout.source.mirrored = values.optionalFlag(names.mirrored, false);
    layout.source.inverted = values.optionalFlag(names.inverted, false);
    return layout;
}

// A side's layout without mask bits: the mask is made now, on the columns of `volume`.
QString maskFromLayout(SideLayout layout, const QString& side, const TotalVolume& volume,
                       std::vector<bool>& bits, unsigned& width, unsigned& height) {
    const QString which = side.toLower() + QStringLiteral(" layout ") + layout.fileAndLayer;
    if (!Model::Layout::LayoutMaskSource::parseFileAndLayer(layout.fileAndLayer, layout.source))
        return QStringLiteral("the %1 is no FILE:LAYER/DATATYPE").arg(which);
    Model::Automaton::PhotoMask mask;
    QString problem;
    if (!Model::Layout::LayoutMask::rasterise(layout.source, Model::Layout::ColumnGrid::of(volume),
                                              mask, problem))
        return QStringLiteral("the %1 cannot be used: %2").arg(which, problem);
    bits = std::move(mask.bits);
    width = mask.width;
    height = mask.height;
    return QString();
}

StepRun photolithography(RecordValues& values, TotalVolume& volume, ProcessHistory&,
                         Util::ProgressReporter& progress) {
    const int resist = materialId(values, names::material().id);
    struct Side {
        std::vector<bool> bits;
        unsigned height;
        unsigned width;
    };
    const auto read = [&values](const QString& name) {
        const auto side = names::mask(name);
        return Side{values.bits(side.bits), values.whole(side.height), values.whole(side.width)};
    };
    Side top = read(QStringLiteral("Top"));
    Side bottom = read(QStringLiteral("Bottom"));
    const SideLayout topLayout = readLayout(values, QStringLiteral("Top"));
    const SideLayout bottomLayout = readLayout(values, QStringLiteral("Bottom"));
    if (!values.isComplete())
        return {};
    for (Side* side : {&top, &bottom}) {
        const bool isTop = side == &top;
        const SideLayout& layout = isTop ? topLayout : bottomLayout;
        if (side->bits.empty() && !layout.fileAndLayer.isEmpty()) {
            const QString refusal =
                maskFromLayout(layout, isTop ? QStringLiteral("Top") : QStringLiteral("Bottom"),
                               volume, side->bits, side->width, side->height);
            if (!refusal.isEmpty())
                return {refusal};
        }
    }
    for (const Side* side : {&top, &bottom}) {
        // The engine would take a mask of the wrong size as open everywhere.
        if (side->bits.size() != std::uint64_t(side->width) * side->height)
            return {QStringLiteral("the %1 mask holds %2 bits, not %3 x %4")
                        .arg(side == &top ? QStringLiteral("top") : QStringLiteral("bottom"))
                        .arg(side->bits.size())
                        .arg(side->width)
                        .arg(side->height)};
        const QString refusal = PhotolithographyOperation::maskRefusal(
            volume, side == &top ? QStringLiteral("top") : QStringLiteral("bottom"), side->width,
            side->height);
        if (!refusal.isEmpty())
            return {refusal};
    }
    Photolithography(volume, resist, bottom.bits, bottom.width, bottom.height, top.bits, top.width,
                     top.height)
        .runDevelopment(progress);
    return {{}, changedIf(resist == 1)};
}

StepRun siWetEtching(RecordValues& values, TotalVolume& volume, ProcessHistory& history,
                     Util::ProgressReporter& progress) {
    const bool byRecipe = values.optionalFlag(names::kohRecipe, false);
    double depth = 0.0;
    KohRecipe recipe;
    if (byRecipe) {
        recipe.concentration = values.real(names::kohConcentration);
        recipe.temperature = values.real(names::kohTemperature);
        recipe.time = values.real(names::etchTime);
    } else {
        depth = values.real(names::depth);
    }
    const WetEtchSides sides = values.optionalFlag(names::periodicSides, false)
                                   ? WetEtchSides::Periodic
                                   : WetEtchSides::Closed;
    const QString sideName = values.optionalText(names::etchSide, etchSideName(EtchSide::Top));
    const QString etchantText = values.optionalText(names::etchant);
    if (!values.isComplete())
        return {};
    EtchSide etchSide = EtchSide::Top;
    if (!etchSideFromName(sideName, etchSide))
        return {
            QStringLiteral("the etch side must be top, bottom or both, not \"%1\"").arg(sideName)};
    if (!etchantText.isEmpty()) {
        Etchant etchant = Etchant::Koh;
        if (!etchantFromName(etchantText, etchant))
            return {QStringLiteral("the etchant must be KOH or TMAH, not \"%1\"").arg(etchantText)};
        // The calibrated rates are a recipe's: a depth alone says nothing of the solution.
        if (!byRecipe)
            return {QStringLiteral("an etchant needs a recipe (KOH Recipe)")};
        recipe.etchant = etchant;
    }
    if (byRecipe) {
        if (QString refusal = recipe.refusal(); !refusal.isEmpty())
            return {refusal};
        depth = recipe.depthMicrons();
    }
    StepRun run{{}, Silicon::LatticeCurrent};
    if (QString refusal =
            madeLength(volume, names::depth,
                       {depth, QStringLiteral("etch depth"), QStringLiteral("etched")}, run);
        !refusal.isEmpty())
        return {refusal};
    depth = KohRecipe::engineDepth(volume, depth);
    // Boron-doped cells etch as slow silicon: the lattice is built with them as silicon and
    // they take their material back when the etch has left them.
    BoronEtchStop boron;
    boron.lift(volume);
    bool rebuilt = false;
    QString reason;
    const bool latticeReady =
        boron.isEmpty() ? SiWetEtchOperation::prepareLattice(volume, history, rebuilt, &reason)
                        : volume.rebuildSiLattice(&reason);
    if (!latticeReady) {
        boron.restore(volume);
        history.setLatticeRebuildNeeded(volume.getId(), true);
        return {reason.isEmpty() ? QStringLiteral("The silicon lattice could not be built.")
                                 : reason};
    }
    AtomicStructureSimpleSiWetEtch engine(volume, depth, sides);
    engine.setEtchSide(etchSide);
    engine.setRateFactors(&boron.rateFactors());
    engine.setEtchant(recipe.etchant);
    engine.runEtching(progress);
    if (!boron.isEmpty()) {
        boron.restore(volume);
        // The lattice holds the doped cells as silicon.
        run.silicon = Silicon::Changed;
    }
    if (byRecipe) {
        // The etchant wears the masks as long as it etches the silicon.
        QStringList notes = MaskWear::wear(volume, recipe, progress);
        if (!run.note.isEmpty())
            notes.prepend(run.note);
        run.note = notes.join(QStringLiteral("; "));
    }
    return run;
}

template <class Engine, void (Engine::*runIt)(Util::ProgressReporter&)>
StepRun mooreStep(RecordValues& values, TotalVolume& volume, const QString& stepsName,
                  Util::ProgressReporter& progress) {
    const int material = materialId(values, names::material().id);
    // Kept as a whole number, read as any number and passed on as a count of layers.
    const int steps = values.clampedCount(stepsName);
    if (!values.isComplete())
        return {};
    if (QString refusal = MooreProcessOperation::stepsRefusal(steps); !refusal.isEmpty())
        return {refusal};
    (Engine(volume, material, steps).*runIt)(progress);
    return {{}, changedIf(material == 1)};
}

StepRun mooreDeposition(RecordValues& values, TotalVolume& volume, ProcessHistory&,
                        Util::ProgressReporter& progress) {
    return mooreStep<MooreNeighborhoodDeposition, &MooreNeighborhoodDeposition::runDeposition>(
        values, volume, names::thickness, progress);
}

StepRun mooreEtching(RecordValues& values, TotalVolume& volume, ProcessHistory&,
                     Util::ProgressReporter& progress) {
    return mooreStep<MooreNeighborhoodEtching, &MooreNeighborhoodEtching::runEtching>(
        values, volume, names::depth, progress);
}

// Reads a record's "Other Etch Rates" into `recipe` and checks the recipe whole: empty when it
// can run, else the reason.
template <class Recipe> QString refusalWithOtherRates(const QString& others, Recipe& recipe) {
    QString problem;
    if (!RateRecipe::parseRates(others, recipe.otherRates, problem))
        return QStringLiteral("the other etch rates are wrong: ") + problem;
    return recipe.refusal();
}

// A rate and a time instead of a thickness or depth, when the record says so; an etch also
// reads the rates of the other materials.
struct RecordRate {
    bool given = false;
    RateRecipe recipe;
    QString problem;
};

RecordRate readRate(RecordValues& values, bool etch) {
    RecordRate rate;
    rate.given = values.optionalFlag(names::byRateAndTime, false);
    if (!rate.given)
        return rate;
    rate.recipe.rate = values.real(names::rate);
    rate.recipe.time = values.real(names::time);
    rate.problem =
        etch ? refusalWithOtherRates(values.optionalText(names::otherEtchRates), rate.recipe)
             : rate.recipe.refusal();
    return rate;
}

StepRun cvd(RecordValues& values, TotalVolume& volume, ProcessHistory&,
            Util::ProgressReporter& progress) {
    const int material = materialId(values, names::material().id);
    const RecordRate rate = readRate(values, false);
    float thickness = rate.given ? 0.f : values.single(names::thickness);
    if (!values.isComplete())
        return {};
    if (rate.given && !rate.problem.isEmpty())
        return {rate.problem};
    // Given in µm, as the dialog shows it.
    const double microns = rate.given ? rate.recipe.microns() : double(thickness);
    // The range is checked on what was asked, before it becomes whole cells.
    if (QString refusal = IsotropicProcessOperation::distanceRefusal(
            QStringLiteral("film thickness"),
            float(Model::Metrology::sceneUnitsOf(volume, microns)));
        !refusal.isEmpty())
        return {refusal};
    thickness = float(RateRecipe::sceneUnits(volume, microns));
    StepRun run{{}, changedIf(material == 1)};
    if (QString refusal = madeLength(
            volume, names::thickness,
            {microns, QStringLiteral("film thickness"), QStringLiteral("deposited")}, run);
        !refusal.isEmpty())
        return {refusal};
    IsotropicFilmDeposition(volume, material, thickness).runDeposition(progress);
    return run;
}

StepRun isotropicEtching(RecordValues& values, TotalVolume& volume, ProcessHistory&,
                         Util::ProgressReporter& progress) {
    const int material = materialId(values, names::material().id);
    const RecordRate rate = readRate(values, true);
    float depth = rate.given ? 0.f : values.single(names::depth);
    if (!values.isComplete())
        return {};
    if (rate.given && !rate.problem.isEmpty())
        return {rate.problem};
    const double microns = rate.given ? rate.recipe.microns() : double(depth);
    if (QString refusal = IsotropicProcessOperation::distanceRefusal(
            QStringLiteral("etch depth"), float(Model::Metrology::sceneUnitsOf(volume, microns)));
        !refusal.isEmpty())
        return {refusal};
    depth = float(RateRecipe::sceneUnits(volume, microns));
    StepRun run;
    if (QString refusal =
            madeLength(volume, names::depth,
                       {microns, QStringLiteral("etch depth"), QStringLiteral("etched")}, run);
        !refusal.isEmpty())
        return {refusal};
    if (rate.given)
        run.silicon = changedIf(
            IsotropicFilmEtchingOperation::etchByRate(volume, material, rate.recipe, progress));
    else {
        IsotropicFilmEtching(volume, material, depth).runEtching(progress);
        run.silicon = changedIf(material == 1);
    }
    return run;
}

// The sacrificial material (oxide unless the record names another) etched by rate × time,
// the other materials of the table by theirs: always by rate, as a release is timed.
StepRun releaseEtch(RecordValues& values, TotalVolume& volume, ProcessHistory&,
                    Util::ProgressReporter& progress) {
    const int material = int(values.optionalMaterialId(
        names::material().id, ProcessRecordExecutor::defaultSacrificialMaterial));
    RateRecipe recipe;
    recipe.rate = values.real(names::rate);
    recipe.time = values.real(names::time);
    const QString others = values.optionalText(names::otherEtchRates);
    if (!values.isComplete())
        return {};
    if (QString refusal = refusalWithOtherRates(others, recipe); !refusal.isEmpty())
        return {refusal};
    return {
        {},
        changedIf(IsotropicFilmEtchingOperation::etchByRate(volume, material, recipe, progress))};
}

StepRun planarization(RecordValues& values, TotalVolume& volume, ProcessHistory&,
                      Util::ProgressReporter& progress) {
    const unsigned maximum = values.whole(names::maximumHeight);
    const int minimum = wholeAsInt(values, names::minimumHeight);
    if (!values.isComplete())
        return {};
    Planarization(volume, maximum, minimum).runPlanarization(progress);
    return {{}, Silicon::Changed};
}

StepRun electroplating(RecordValues& values, TotalVolume& volume, ProcessHistory&,
                       Util::ProgressReporter& progress) {
    const float thickness = values.single(names::filmThickness);
    const int conductor = materialId(values, names::material(QStringLiteral("Conducting")).id);
    const int deposited = materialId(values, names::material(QStringLiteral("Deposited")).id);
    if (!values.isComplete())
        return {};
    if (QString refusal =
            IsotropicProcessOperation::distanceRefusal(QStringLiteral("film thickness"), thickness);
        !refusal.isEmpty())
        return {refusal};
    StepRun run;
    if (QString refusal = madeLength(
            volume, names::filmThickness,
            {thickness, QStringLiteral("film thickness"), QStringLiteral("plated")}, run);
        !refusal.isEmpty())
        return {refusal};
    Electrodeposition(volume, deposited, conductor,
                      float(RateRecipe::sceneUnits(volume, thickness)))
        .runDeposition(progress);
    return run;
}

StepRun doping(RecordValues& values, TotalVolume& volume, ProcessHistory&,
               Util::ProgressReporter& progress) {
    const float depth = values.single(names::dopingDepth);
    int doped = materialId(values, names::material(QStringLiteral("Doped")).id);
    const double concentration = values.optionalReal(names::concentration, 0.0);
    if (!values.isComplete())
        return {};
    if (QString refusal = DopingOperation::refusalFor(doped, depth); !refusal.isEmpty())
        return {refusal};
    if (values.has(names::concentration)) {
        if (QString refusal = BoronEtchStop::refusal(concentration); !refusal.isEmpty())
            return {refusal};
    }
    StepRun run{{}, Silicon::Changed};
    if (QString refusal =
            madeLength(volume, names::dopingDepth,
                       {depth, QStringLiteral("doping depth"), QStringLiteral("doped")}, run);
        !refusal.isEmpty())
        return {refusal};
    // The concentration lives in the material the cells are doped into.
    if (values.has(names::concentration))
        doped = int(BoronEtchStop::materialFor(std::uint32_t(doped), concentration));
    DopingOperation::run(volume, doped, depth, progress);
    return run;
}

StepRun spinCoating(RecordValues& values, TotalVolume& volume, ProcessHistory&,
                    Util::ProgressReporter& progress) {
    const unsigned height = values.whole(names::maximumHeight);
    const int material = materialId(values, names::material().id);
    if (!values.isComplete())
        return {};
    SpinCoating(volume, material, height).runSpinCoating(progress);
    return {{}, changedIf(material == 1)};
}

StepRun pvd(RecordValues& values, TotalVolume& volume, ProcessHistory&,
            Util::ProgressReporter& progress) {
    const int material = materialId(values, names::material().id);
    const float thickness = values.single(names::thickness);
    const float ratio = values.single(names::horizontalRatio);
    const int mode = values.integer(names::depositOn);
    if (!values.isComplete())
        return {};
    if (QString refusal =
            AnisotropicFilmDepositionOperation::refusalFor(material, thickness, ratio, mode);
        !refusal.isEmpty())
        return {refusal};
    StepRun run{{}, changedIf(material == 1)};
    if (QString refusal = madeLength(
            volume, names::thickness,
            {thickness, QStringLiteral("film thickness"), QStringLiteral("deposited")}, run);
        !refusal.isEmpty())
        return {refusal};
    AnisotropicFilmDepositionOperation::run(volume, material, thickness, ratio, mode, progress);
    return run;
}

StepRun simpleRie(RecordValues& values, TotalVolume& volume, ProcessHistory&,
                  Util::ProgressReporter& progress) {
    const int material = materialId(values, names::material().id);
    const RecordRate rate = readRate(values, true);
    const bool inMicrons = !rate.given && values.has(names::etchDepthMicrons);
    const int depth = rate.given || inMicrons ? 0 : wholeAsInt(values, names::etchDepth);
    const int directions = values.integer(names::etchDirectionValue);
    const double depthMicrons = values.optionalReal(names::etchDepthMicrons, 0.0);
    if (!values.isComplete())
        return {};
    if (inMicrons) {
        if (!(depthMicrons >= 0.0))
            return {QStringLiteral("the etch depth of %1 µm is negative").arg(depthMicrons)};
        StepRun run{{}, changedIf(material == 1)};
        if (QString refusal = madeLength(
                volume, names::etchDepthMicrons,
                {depthMicrons, QStringLiteral("etch depth"), QStringLiteral("etched")}, run);
            !refusal.isEmpty())
            return {refusal};
        const CellLength length = CellLength::of(volume, depthMicrons);
        SimpleReactiveIonEtching(volume, material,
                                 int(std::min<std::int64_t>(length.cells, INT_MAX)), directions)
            .runEtching(progress);
        return run;
    }
    if (rate.given) {
        if (!rate.problem.isEmpty())
            return {rate.problem};
        StepRun run;
        if (QString refusal = madeLength(
                volume, names::etchDepth,
                {rate.recipe.microns(), QStringLiteral("etch depth"), QStringLiteral("etched")},
                run);
            !refusal.isEmpty())
            return {refusal};
        run.silicon = changedIf(SimpleReactiveIonEtchingOperation::etchByRate(
            volume, material, directions, rate.recipe, progress));
        return run;
    }
    SimpleReactiveIonEtching(volume, material, depth, directions).runEtching(progress);
    return {{}, changedIf(material == 1)};
}

StepRun ionImplantation(RecordValues& values, TotalVolume& volume, ProcessHistory&,
                        Util::ProgressReporter& progress) {
    const float annealing = values.single(names::annealingDistance);
    const float depth = values.single(names::implantationDepth);
    const int doped = materialId(values, names::material(QStringLiteral("Doped")).id);
    if (!values.isComplete())
        return {};
    if (QString refusal = IonImplantationOperation::refusalFor(doped, depth, annealing);
        !refusal.isEmpty())
        return {refusal};
    IonImplantationOperation::run(volume, doped, depth, annealing, progress);
    return {{}, Silicon::Changed};
}

StepRun siOxidation(RecordValues& values, TotalVolume& volume, ProcessHistory&,
                    Util::ProgressReporter& progress) {
    SimpleSiOxidationOperation::Recipe recipe;
    const bool byTime = values.flag(names::oxidationTimeSet);
    recipe.cellUnitsPerMicron = values.real(names::micronConversion);
    if (byTime) {
        recipe.time = values.real(names::oxidationTime);
        recipe.temperature = values.real(names::oxidationTemperature);
        recipe.pressure = values.real(names::oxidationPressure);
    } else {
        recipe.thickness = values.real(names::oxidationThickness);
    }
    if (!values.isComplete())
        return {};
    if (QString refusal = SimpleSiOxidationOperation::refusalFor(recipe); !refusal.isEmpty())
        return {refusal};
    SimpleSiOxidationOperation::run(volume, recipe, progress);
    return {{}, Silicon::Changed};
}

// The values both flux-driven steps read besides their rates.
void readFluxCommon(RecordValues& values, FluxStepRecipe& recipe) {
    recipe.periodicSides = values.optionalFlag(names::periodicSides, false);
    recipe.raysPerCell = values.optionalInteger(names::raysPerCell, recipe.raysPerCell);
    recipe.seed = std::uint64_t(std::uint32_t(values.optionalInteger(names::seed, 0)));
}

StepRun fluxEtching(RecordValues& values, TotalVolume& volume, ProcessHistory&,
                    Util::ProgressReporter& progress) {
    FluxStepRecipe recipe;
    recipe.kind = FluxStepRecipe::Kind::Etching;
    recipe.material = values.materialId(names::material().id);
    recipe.rate = values.real(names::rate);
    recipe.time = values.real(names::time);
    const QString others = values.optionalText(names::otherEtchRates);
    recipe.ionExponent = values.real(names::ionExponent);
    recipe.neutralSticking = values.real(names::neutralSticking);
    recipe.ionShare = values.real(names::ionShare);
    readFluxCommon(values, recipe);
    if (!values.isComplete())
        return {};
    if (QString refusal = refusalWithOtherRates(others, recipe); !refusal.isEmpty())
        return {refusal};
    return {{}, changedIf(FluxProcessOperation::run(volume, recipe, progress))};
}

StepRun fluxDeposition(RecordValues& values, TotalVolume& volume, ProcessHistory&,
                       Util::ProgressReporter& progress) {
    FluxStepRecipe recipe;
    recipe.kind = FluxStepRecipe::Kind::Deposition;
    recipe.material = values.materialId(names::material().id);
    const bool byRate = values.optionalFlag(names::byRateAndTime, false);
    if (byRate) {
        recipe.rate = values.real(names::rate);
        recipe.time = values.real(names::time);
    } else {
        // A thickness on the open field: grown at 1 µm/min for as many minutes.
        recipe.rate = 1.0;
        recipe.time = values.real(names::thickness);
    }
    recipe.sourceExponent = values.real(names::sourceExponent);
    recipe.sticking = values.real(names::sticking);
    readFluxCommon(values, recipe);
    if (!values.isComplete())
        return {};
    if (QString refusal = recipe.refusal(); !refusal.isEmpty())
        return {refusal};
    return {{}, changedIf(FluxProcessOperation::run(volume, recipe, progress))};
}

StepRun boschDrie(RecordValues& values, TotalVolume& volume, ProcessHistory&,
                  Util::ProgressReporter& progress) {
    BoschRecipe recipe;
    recipe.material = values.materialId(names::material().id);
    recipe.cycles = values.integer(names::cycles);
    if (values.optionalFlag(names::byRateAndTime, false)) {
        recipe.etchDepthPerCycle =
            values.real(names::etchRate) * values.real(names::etchTimePerCycle);
        recipe.passivationThickness =
            values.real(names::passivationRate) * values.real(names::passivationTimePerCycle);
    } else {
        recipe.etchDepthPerCycle = values.real(names::etchDepthPerCycle);
        recipe.passivationThickness = values.real(names::passivationThickness);
    }
    recipe.isotropy = values.real(names::isotropy);
    recipe.stripPassivation = values.optionalFlag(names::stripPassivation, true);
    recipe.periodicSides = values.optionalFlag(names::periodicSides, false);
    recipe.raysPerCell = values.optionalInteger(names::raysPerCell, recipe.raysPerCell);
    recipe.seed = std::uint64_t(std::uint32_t(values.optionalInteger(names::seed, 0)));
    if (!values.isComplete())
        return {};
    if (QString refusal = recipe.refusalOn(volume); !refusal.isEmpty())
        return {refusal};
    BoschDrie::run(volume, recipe, progress);
    return {{}, changedIf(recipe.material == 1)};
}

// The steps that run an engine on the volume: type code, the number of the interactive
// operation recorded in the history, and the step.
struct EngineStep {
    int type;
    unsigned operationNumber;
    StepRun (*run)(RecordValues&, TotalVolume&, ProcessHistory&, Util::ProgressReporter&);
};

const EngineStep engineSteps[] = {
    {ProcessTypes::Photolithography, 20, photolithography},
    {ProcessTypes::SiWetEtching, 28, siWetEtching},
    {ProcessTypes::MooreDeposition, 18, mooreDeposition},
    {ProcessTypes::MooreEtching, 19, mooreEtching},
    {ProcessTypes::CVD, 13, cvd},
    {ProcessTypes::IsotropicEtching, 14, isotropicEtching},
    {ProcessTypes::Planarization, 22, planarization},
    {ProcessTypes::Electroplating, 15, electroplating},
    {ProcessTypes::Doping, 17, doping},
    {ProcessTypes::SpinCoating, 23, spinCoating},
    {ProcessTypes::PVD, 27, pvd},
    {ProcessTypes::SimpleRIE, 30, simpleRie},
    {ProcessTypes::IonImplantation, 3, ionImplantation},
    {ProcessTypes::SiOxidation, 26, siOxidation},
    {ProcessTypes::FluxEtching, FluxEtchingOperation::number, fluxEtching},
    {ProcessTypes::FluxDeposition, FluxDepositionOperation::number, fluxDeposition},
    {ProcessTypes::BoschDrie, BoschDrieOperation::number, boschDrie},
    {ProcessTypes::ReleaseEtch, ReleaseEtchOperation::number, releaseEtch},
};

const EngineStep* findEngineStep(int type) {
    for (const EngineStep& step : engineSteps)
        if (step.type == type)
            return &step;
    return nullptr;
}

using Result = ProcessRecordExecutor::Result;
using Outcome = ProcessRecordExecutor::Outcome;

Result notRun(const QString& why) {
    return {Outcome::NotRun, why};
}

QString unknownType(int processType) {
    return QStringLiteral("there is no process of type %1").arg(processType);
}

// Sizes and positions are kept unsigned; the substrate builder counts in int.
// A count of cells along one axis, or, where the record gives it in µm instead (the name
// followed by " Microns"), the nearest whole number of cells of that edge; read after the cell
// sizes are known (see readSubstrate).
struct AxisCount {
    const char* name;
    char axis;
    int* cells;
};

void readCount(RecordValues& values, const AxisCount& count, std::vector<AxisCount>& inMicrons) {
    if (values.has(names::axisInMicrons(count.name, count.axis)))
        inMicrons.push_back(count);
    else
        *count.cells = wholeAsInt(values, names::axis(count.name, count.axis));
}

// `orientation` gets the record's text for the crystal orientation, which the caller checks.
SubstrateDescription readSubstrate(RecordValues& values, QString& orientation) {
    SubstrateDescription substrate;
    std::vector<AxisCount> inMicrons;
    const auto counts = [&](const char* name, int& x, int& y, int& z) {
        readCount(values, {name, 'X', &x}, inMicrons);
        readCount(values, {name, 'Y', &y}, inMicrons);
        readCount(values, {name, 'Z', &z}, inMicrons);
    };
    substrate.material = materialId(values, names::material().id);
    substrate.position = values.vector(names::corner);
    counts(names::volumeSize, substrate.totalSizeX, substrate.totalSizeY, substrate.totalSizeZ);
    // Cell sizes in µm; lists without them mean 1 µm cubes.
    substrate.cellSizeX = values.optionalSingle(names::axis(names::cellSize, 'X'), 1.f);
    substrate.cellSizeY = values.optionalSingle(names::axis(names::cellSize, 'Y'), 1.f);
    substrate.cellSizeZ = values.optionalSingle(names::axis(names::cellSize, 'Z'), 1.f);
    substrate.spherical = values.flag(names::sphericalSubstrate);
    if (substrate.spherical) {
        substrate.centerX = wholeAsInt(values, names::axis(names::substrateCenter, 'X'));
        substrate.centerY = wholeAsInt(values, names::axis(names::substrateCenter, 'Y'));
        substrate.centerZ = wholeAsInt(values, names::axis(names::substrateCenter, 'Z'));
        substrate.radius = wholeAsInt(values, names::substrateRadius);
    } else {
        counts(names::substrateSize, substrate.substrateSizeX, substrate.substrateSizeY,
               substrate.substrateSizeZ);
        counts(names::substrateDelta, substrate.substrateCornerX, substrate.substrateCornerY,
               substrate.substrateCornerZ);
    }
    // Read last, so that lists and scripts that never give them list them last.
    for (const char* name : {names::volumeSize, names::substrateSize, names::substrateDelta})
        for (const char axis : {'X', 'Y', 'Z'})
            values.optionalReal(names::axisInMicrons(name, axis), 0.0);
    orientation = values.optionalText(
        names::crystalOrientation,
        Model::Automaton::crystalOrientationName(Model::Automaton::CrystalOrientation::Surface100));
    for (const AxisCount& count : inMicrons) {
        const float edge = count.axis == 'X'   ? substrate.cellSizeX
                           : count.axis == 'Y' ? substrate.cellSizeY
                                               : substrate.cellSizeZ;
        const double microns = values.real(names::axisInMicrons(count.name, count.axis));
        const double cells = edge > 0.f ? std::round(microns / double(edge)) : 0.0;
        *count.cells = cells >= 0.0 && cells <= double(INT_MAX) ? int(cells) : -1;
    }
    return substrate;
}

bool hasField(const std::vector<RecordField>& fields, const QString& name) {
    for (const RecordField& field : fields)
        if (field.name == name)
            return true;
    return false;
}

// Sentences of the operations' own messages begin in capitals and end in a full stop; the
// executor's reasons are parts of a sentence.
QString asReason(QString sentence) {
    if (sentence.endsWith(QLatin1Char('.')))
        sentence.chop(1);
    if (!sentence.isEmpty())
        sentence[0] = sentence[0].toLower();
    return sentence;
}

// Reads no cell but the plane's and changes none, so it is neither recorded in the history
// nor undone.
Result saveCrossSection(RecordValues& values, TotalVolume& volume) {
    const QString fileName = values.text(names::fileName);
    const QString axis = values.text(names::planeAxis).trimmed().toLower();
    const double position = values.real(names::planePosition);
    if (!values.isComplete())
        return notRun(values.getProblem());
    if (axis.size() != 1 || axis[0] < QLatin1Char('x') || axis[0] > QLatin1Char('z'))
        return notRun(QStringLiteral("the plane axis is '%1', not x, y or z")
                          .arg(values.text(names::planeAxis)));
    if (fileName.isEmpty())
        return notRun(QStringLiteral("no file is named for the picture"));
    Model::Export::SectionPlane plane;
    plane.axis = Model::Export::SectionPlane::Axis(axis[0].unicode() - 'x');
    plane.position = position;
    QString problem;
    const auto section = Model::Export::CrossSection::take(volume, plane, &problem);
    if (!section)
        return notRun(asReason(problem));
    const auto written = Model::Export::CrossSectionPicture(*section, {}).write(fileName);
    if (!written.ok)
        return {Outcome::Failed, written.error};
    return {};
}

} // namespace

ProcessRecordExecutor::ProcessRecordExecutor(ProcessHistory& history, Hooks hooks)
    : history(history), hooks(std::move(hooks)) {}

ProcessRecordExecutor::Result ProcessRecordExecutor::execute(int processType,
                                                             const QVariantMap& parameters,
                                                             Util::ProgressReporter& progress) {
    RecordValues values(parameters);
    return execute(processType, values, progress);
}

ProcessRecordExecutor::Result ProcessRecordExecutor::execute(int processType, RecordValues& values,
                                                             Util::ProgressReporter& progress) {
    if (processType == ProcessTypes::CreateSubstrate) {
        QString orientation;
        SubstrateDescription substrate = readSubstrate(values, orientation);
        if (!values.isComplete())
            return notRun(values.getProblem());
        if (!Model::Automaton::crystalOrientationFromName(orientation,
                                                          substrate.crystalOrientation))
            return notRun(Model::Automaton::crystalOrientationRefusal(orientation));
        for (const float size : {substrate.cellSizeX, substrate.cellSizeY, substrate.cellSizeZ})
            if (!(size > 0.f))
                return notRun(QStringLiteral("the cell sizes must be greater than 0"));
        // The record's cell sizes are µm, built in the scene units of the document the volume
        // joins.
        substrate.micrometresPerSceneUnit = micrometresPerSceneUnit;
        substrate.setCellEdgesInMicrometres(substrate.cellSizeX, substrate.cellSizeY,
                                            substrate.cellSizeZ);
        substrate.position = (1.0 / micrometresPerSceneUnit) * substrate.position;
        QString reason;
        auto created = substrate.createVolume(reason);
        if (!created)
            return notRun(reason);
        volume = created;
        if (hooks.volumeCreated)
            hooks.volumeCreated(created);
        return {};
    }

    if (!volume)
        return {Outcome::NoVolume, QStringLiteral("there is no cell volume to work on")};

    if (processType == ProcessTypes::SaveImage) {
        const QString fileName = values.text(names::fileName);
        if (!values.isComplete())
            return notRun(values.getProblem());
        const QString problem = hooks.saveImage ? hooks.saveImage(*volume, fileName) : QString();
        return problem.isEmpty() ? Result{} : Result{Outcome::Failed, problem};
    }

    if (processType == ProcessTypes::Measure)
        return measure(values);
    if (processType == ProcessTypes::SaveCrossSection)
        return saveCrossSection(values, *volume);

    const EngineStep* step = findEngineStep(processType);
    if (!step)
        return notRun(unknownType(processType));
    const int volumeId = volume->getId();
    // Only a run that can be cancelled pays for the copy that takes it back.
    Model::Automaton::KeptMaterials before;
    const bool cancellable = &progress != &Util::ProgressReporter::none();
    if (cancellable && !before.keep(*volume))
        return {Outcome::Failed, QStringLiteral("there was not enough memory to keep the cells "
                                                "for a cancel")};
    StepRun run;
    try {
        run = step->run(values, *volume, history, progress);
    } catch (const Util::RunCancelled&) {
        before.putBack(*volume);
        history.setLatticeRebuildNeeded(volumeId, true);
        return {Outcome::Cancelled, QStringLiteral("the step was cancelled")};
    } catch (const std::bad_alloc&) {
        // Whatever the engine left half done, the next wet etch must not trust the lattice.
        history.setLatticeRebuildNeeded(volumeId, true);
        if (cancellable && before.putBack(*volume))
            return {Outcome::Failed,
                    QStringLiteral("there was not enough memory to finish the step; the cells "
                                   "are as they were")};
        return {Outcome::Failed, QStringLiteral("there was not enough memory to finish the step")};
    }
    if (!values.isComplete())
        return notRun(values.getProblem());
    if (!run.refusal.isEmpty()) {
        return notRun(asReason(run.refusal));
    }
    history.recordOperation(volumeId, step->operationNumber);
    if (run.silicon != Silicon::Unchanged)
        history.setLatticeRebuildNeeded(volumeId, run.silicon == Silicon::Changed);
    Result done;
    done.note = run.note;
    done.made = std::move(run.made);
    if (processType == ProcessTypes::ReleaseEtch) {
        // What the release freed, reported as a measurement would be.
        done.resultName = QStringLiteral("release");
        done.measurement =
            releaseReport(*volume, values.has(names::material().id)
                                       ? std::uint32_t(values.materialId(names::material().id))
                                       : std::uint32_t(defaultSacrificialMaterial));
    }
    return done;
}

Model::Metrology::Measurement ProcessRecordExecutor::releaseReport(TotalVolume& volume,
                                                                   std::uint32_t sacrificial) {
    const Model::Automaton::CellArraysLock locked(
        volume, Model::Automaton::CellArraysLock::Arrays::Current);
    return Model::Metrology::freeStructures(
        Model::Automaton::CellGrid::of(volume, locked.materials()),
        Model::Metrology::CellEdges::of(volume), {sacrificial});
}

std::optional<std::vector<RecordField>> ProcessRecordExecutor::fieldsOf(int processType) {
    // A record of no values makes the step ask for each of its values and then stop before it
    // touches anything. A volume of one cell stands in for the one a real record works on.
    ProcessHistory history;
    ProcessRecordExecutor probe(history, {});
    probe.setVolume(std::make_shared<Model::Automaton::TotalVolume>(
        1u, 1u, 1u, 1.f, 1.f, 1.f, Util::Vector3D(),
        [](unsigned, unsigned, Model::Automaton::MaterialCells) {}));
    const auto read = [&](const QVariantMap& flags, std::vector<RecordField>& fields) {
        RecordValues values(flags);
        values.recordFieldsTo(&fields);
        return probe.execute(processType, values, Util::ProgressReporter::none());
    };
    std::vector<RecordField> fields;
    const Result plain = read({}, fields);
    if (plain.outcome == Outcome::NotRun && plain.problem == unknownType(processType))
        return std::nullopt;
    // Values read only while a flag is set (or only while it is clear) belong to that flag.
    const std::vector<RecordField> unset = fields;
    for (const RecordField& flag : unset) {
        if (flag.kind != RecordField::Kind::Flag)
            continue;
        std::vector<RecordField> set;
        read({{flag.name, true}}, set);
        for (RecordField& field : fields)
            if (field.whenFlag.isEmpty() && !hasField(set, field.name)) {
                field.whenFlag = flag.name;
                field.whenFlagIs = false;
            }
        for (RecordField field : set)
            if (!hasField(unset, field.name)) {
                field.whenFlag = flag.name;
                field.whenFlagIs = true;
                fields.push_back(field);
            }
    }
    return fields;
}

std::vector<int> ProcessRecordExecutor::processTypes() {
    // Type codes are small numbers kept in files; new kinds are added above the old ones.
    std::vector<int> types;
    for (int type = 0; type < 64; ++type)
        if (type != ProcessTypes::Invalid && fieldsOf(type))
            types.push_back(type);
    return types;
}

ProcessRecordExecutor::Result ProcessRecordExecutor::measure(RecordValues& values) {
    const QString text = values.text(names::measurement);
    // Without a name of their own the results go by the measurement's text.
    const QString resultName = values.optionalText(names::resultName);
    if (!values.isComplete())
        return notRun(values.getProblem());
    QString problem;
    const auto query = Model::Metrology::MeasurementQuery::parse(text, problem);
    if (!query)
        return notRun(problem);
    Result result;
    result.resultName = resultName.trimmed().isEmpty() ? query->text : resultName.trimmed();
    result.measurement = Model::Metrology::measure(*volume, *query);
    if (!result.measurement->hasAnswer()) {
        result.outcome = Outcome::NoAnswer;
        result.problem = result.measurement->reason;
    }
    return result;
}

} // namespace Core::Operations
