#include "Core/Operations/BatchRun/processrecordexecutor.h"

#include "Core/Operations/Anisotropic/anisotropicfilmdepositionoperation.h"
#include "Core/Operations/BatchRun/recordvalues.h"
#include "Core/Operations/Doping/dopingoperations.h"
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
#include "Core/Operations/SiEtching/atomicstructuresimplesiwetetch.h"
#include "Core/Operations/SiEtching/siwetetchoperation.h"
#include "Core/Operations/SiOxidation/simplesioxidationoperation.h"
#include "Core/Operations/processhistory.h"
#include "Core/Operations/substratedescription.h"
#include "Model/Automaton/totalvolume.h"

#include <algorithm>
#include <climits>
#include <new>

namespace Core::Operations {

using Model::Automaton::TotalVolume;
namespace names = RecordParameters;

namespace {

// What a step did to the silicon of its volume, for the lattice the next wet etch works on.
enum class Silicon { Unchanged, Changed, LatticeCurrent };

struct StepRun {
    // Why the values were refused; nothing ran.
    QString refusal;
    Silicon silicon = Silicon::Unchanged;
};

Silicon changedIf(bool changesSilicon) {
    return changesSilicon ? Silicon::Changed : Silicon::Unchanged;
}

// Material ids are kept unsigned; the engines take them as int.
int materialId(RecordValues& values, const QString& name) {
    return int(std::min<unsigned>(values.whole(name), unsigned(INT_MAX)));
}

int wholeAsInt(RecordValues& values, const QString& name) {
    return int(std::min<unsigned>(values.whole(name), unsigned(INT_MAX)));
}

// Each step reads every value it needs before it touches the volume, so a record that lacks
// one changes nothing. The silicon rule of each step is that of its interactive operation, so
// a wet etch after the list sees the same lattice as after the same steps from the menus.

StepRun photolithography(RecordValues& values, TotalVolume& volume, ProcessHistory&) {
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
    const Side top = read(QStringLiteral("Top"));
    const Side bottom = read(QStringLiteral("Bottom"));
    if (!values.isComplete())
        return {};
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
        .runDevelopment();
    return {{}, changedIf(resist == 1)};
}

StepRun siWetEtching(RecordValues& values, TotalVolume& volume, ProcessHistory& history) {
    const double depth = values.real(names::depth);
    if (!values.isComplete())
        return {};
    bool rebuilt = false;
    QString reason;
    if (!SiWetEtchOperation::prepareLattice(volume, history, rebuilt, &reason)) {
        history.setLatticeRebuildNeeded(volume.getId(), true);
        return {reason.isEmpty() ? QStringLiteral("The silicon lattice could not be built.")
                                 : reason};
    }
    AtomicStructureSimpleSiWetEtch(volume, depth).runEtching();
    return {{}, Silicon::LatticeCurrent};
}

template <class Engine, void (Engine::*runIt)(Util::ProgressReporter&)>
StepRun mooreStep(RecordValues& values, TotalVolume& volume, const QString& stepsName) {
    const int material = materialId(values, names::material().id);
    // Kept as a whole number, read as any number and passed on as a count of layers.
    const int steps = values.clampedCount(stepsName);
    if (!values.isComplete())
        return {};
    if (QString refusal = MooreProcessOperation::stepsRefusal(steps); !refusal.isEmpty())
        return {refusal};
    (Engine(volume, material, steps).*runIt)(Util::ProgressReporter::none());
    return {{}, changedIf(material == 1)};
}

StepRun mooreDeposition(RecordValues& values, TotalVolume& volume, ProcessHistory&) {
    return mooreStep<MooreNeighborhoodDeposition, &MooreNeighborhoodDeposition::runDeposition>(
        values, volume, names::thickness);
}

StepRun mooreEtching(RecordValues& values, TotalVolume& volume, ProcessHistory&) {
    return mooreStep<MooreNeighborhoodEtching, &MooreNeighborhoodEtching::runEtching>(
        values, volume, names::depth);
}

StepRun cvd(RecordValues& values, TotalVolume& volume, ProcessHistory&) {
    const int material = materialId(values, names::material().id);
    const float thickness = values.single(names::thickness);
    if (!values.isComplete())
        return {};
    if (QString refusal =
            IsotropicProcessOperation::distanceRefusal(QStringLiteral("film thickness"), thickness);
        !refusal.isEmpty())
        return {refusal};
    IsotropicFilmDeposition(volume, material, thickness).runDeposition();
    return {{}, changedIf(material == 1)};
}

StepRun isotropicEtching(RecordValues& values, TotalVolume& volume, ProcessHistory&) {
    const int material = materialId(values, names::material().id);
    const float depth = values.single(names::depth);
    if (!values.isComplete())
        return {};
    if (QString refusal =
            IsotropicProcessOperation::distanceRefusal(QStringLiteral("etch depth"), depth);
        !refusal.isEmpty())
        return {refusal};
    IsotropicFilmEtching(volume, material, depth).runEtching();
    return {{}, changedIf(material == 1)};
}

StepRun planarization(RecordValues& values, TotalVolume& volume, ProcessHistory&) {
    const unsigned maximum = values.whole(names::maximumHeight);
    const int minimum = wholeAsInt(values, names::minimumHeight);
    if (!values.isComplete())
        return {};
    Planarization(volume, maximum, minimum).runPlanarization();
    return {{}, Silicon::Changed};
}

StepRun electroplating(RecordValues& values, TotalVolume& volume, ProcessHistory&) {
    const float thickness = values.single(names::filmThickness);
    const int conductor = materialId(values, names::material(QStringLiteral("Conducting")).id);
    const int deposited = materialId(values, names::material(QStringLiteral("Deposited")).id);
    if (!values.isComplete())
        return {};
    if (QString refusal =
            IsotropicProcessOperation::distanceRefusal(QStringLiteral("film thickness"), thickness);
        !refusal.isEmpty())
        return {refusal};
    Electrodeposition(volume, deposited, conductor, thickness).runDeposition();
    return {};
}

StepRun doping(RecordValues& values, TotalVolume& volume, ProcessHistory&) {
    const float depth = values.single(names::dopingDepth);
    const int doped = materialId(values, names::material(QStringLiteral("Doped")).id);
    if (!values.isComplete())
        return {};
    if (QString refusal = DopingOperation::refusalFor(doped, depth); !refusal.isEmpty())
        return {refusal};
    DopingOperation::run(volume, doped, depth);
    return {{}, Silicon::Changed};
}

StepRun spinCoating(RecordValues& values, TotalVolume& volume, ProcessHistory&) {
    const unsigned height = values.whole(names::maximumHeight);
    const int material = materialId(values, names::material().id);
    if (!values.isComplete())
        return {};
    SpinCoating(volume, material, height).runSpinCoating();
    return {{}, changedIf(material == 1)};
}

StepRun pvd(RecordValues& values, TotalVolume& volume, ProcessHistory&) {
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
    AnisotropicFilmDepositionOperation::run(volume, material, thickness, ratio, mode);
    return {{}, changedIf(material == 1)};
}

StepRun simpleRie(RecordValues& values, TotalVolume& volume, ProcessHistory&) {
    const int material = materialId(values, names::material().id);
    const int depth = wholeAsInt(values, names::etchDepth);
    const int directions = values.integer(names::etchDirectionValue);
    if (!values.isComplete())
        return {};
    SimpleReactiveIonEtching(volume, material, depth, directions).runEtching();
    return {{}, changedIf(material == 1)};
}

StepRun ionImplantation(RecordValues& values, TotalVolume& volume, ProcessHistory&) {
    const float annealing = values.single(names::annealingDistance);
    const float depth = values.single(names::implantationDepth);
    const int doped = materialId(values, names::material(QStringLiteral("Doped")).id);
    if (!values.isComplete())
        return {};
    if (QString refusal = IonImplantationOperation::refusalFor(doped, depth, annealing);
        !refusal.isEmpty())
        return {refusal};
    IonImplantationOperation::run(volume, doped, depth, annealing);
    return {{}, Silicon::Changed};
}

StepRun siOxidation(RecordValues& values, TotalVolume& volume, ProcessHistory&) {
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
    SimpleSiOxidationOperation::run(volume, recipe);
    return {{}, Silicon::Changed};
}

// The steps that run an engine on the volume: type code, the number of the interactive
// operation recorded in the history, and the step.
struct EngineStep {
    int type;
    unsigned operationNumber;
    StepRun (*run)(RecordValues&, TotalVolume&, ProcessHistory&);
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

// Sizes and positions are kept unsigned; the substrate builder counts in int.
SubstrateDescription readSubstrate(RecordValues& values) {
    SubstrateDescription substrate;
    substrate.material = materialId(values, names::material().id);
    substrate.position = values.vector(names::corner);
    substrate.totalSizeX = wholeAsInt(values, names::axis(names::volumeSize, 'X'));
    substrate.totalSizeY = wholeAsInt(values, names::axis(names::volumeSize, 'Y'));
    substrate.totalSizeZ = wholeAsInt(values, names::axis(names::volumeSize, 'Z'));
    substrate.spherical = values.flag(names::sphericalSubstrate);
    if (substrate.spherical) {
        substrate.centerX = wholeAsInt(values, names::axis(names::substrateCenter, 'X'));
        substrate.centerY = wholeAsInt(values, names::axis(names::substrateCenter, 'Y'));
        substrate.centerZ = wholeAsInt(values, names::axis(names::substrateCenter, 'Z'));
        substrate.radius = wholeAsInt(values, names::substrateRadius);
    } else {
        substrate.substrateSizeX = wholeAsInt(values, names::axis(names::substrateSize, 'X'));
        substrate.substrateSizeY = wholeAsInt(values, names::axis(names::substrateSize, 'Y'));
        substrate.substrateSizeZ = wholeAsInt(values, names::axis(names::substrateSize, 'Z'));
        substrate.substrateCornerX = wholeAsInt(values, names::axis(names::substrateDelta, 'X'));
        substrate.substrateCornerY = wholeAsInt(values, names::axis(names::substrateDelta, 'Y'));
        substrate.substrateCornerZ = wholeAsInt(values, names::axis(names::substrateDelta, 'Z'));
    }
    return substrate;
}

} // namespace

ProcessRecordExecutor::ProcessRecordExecutor(ProcessHistory& history, Hooks hooks)
    : history(history), hooks(std::move(hooks)) {}

ProcessRecordExecutor::Result ProcessRecordExecutor::execute(int processType,
                                                             const QVariantMap& parameters) {
    RecordValues values(parameters);
    if (processType == ProcessTypes::CreateSubstrate) {
        SubstrateDescription substrate = readSubstrate(values);
        if (!values.isComplete())
            return notRun(values.getProblem());
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

    const EngineStep* step = findEngineStep(processType);
    if (!step)
        return notRun(QStringLiteral("there is no process of type %1").arg(processType));
    const int volumeId = volume->getId();
    StepRun run;
    try {
        run = step->run(values, *volume, history);
    } catch (const std::bad_alloc&) {
        // Whatever the engine left half done, the next wet etch must not trust the lattice.
        history.setLatticeRebuildNeeded(volumeId, true);
        return {Outcome::Failed, QStringLiteral("there was not enough memory to finish the step")};
    }
    if (!values.isComplete())
        return notRun(values.getProblem());
    if (!run.refusal.isEmpty()) {
        // Sentences of the operations' own refusals begin in capitals.
        QString why = run.refusal;
        if (why.endsWith(QLatin1Char('.')))
            why.chop(1);
        why[0] = why[0].toLower();
        return notRun(why);
    }
    history.recordOperation(volumeId, step->operationNumber);
    if (run.silicon != Silicon::Unchanged)
        history.setLatticeRebuildNeeded(volumeId, run.silicon == Silicon::Changed);
    return {};
}

} // namespace Core::Operations
