#include "UI/BatchRun/batchstepdialogs.h"

#include "Core/Operations/iuserprompts.h"
#include "Model/Automaton/photomask.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Export/crosssection.h"
#include "Model/Materials/materialfactory.h"
#include "Model/Process/processfactory.h"
#include "UI/BatchRun/measurestepdialog.h"
#include "UI/Operations/anisotropicdepositiondialog.h"
#include "UI/Operations/bcaetchingdialog.h"
#include "UI/Operations/boschdriedialog.h"
#include "UI/Operations/createsubstratedialog.h"
#include "UI/Operations/dopingoptionsdialog.h"
#include "UI/Operations/electrodepositiondialog.h"
#include "UI/Operations/fluxstepdialog.h"
#include "UI/Operations/ionimplantationoptionsdialog.h"
#include "UI/Operations/isotropicdepositiondialog.h"
#include "UI/Operations/isotropicetchingdialog.h"
#include "UI/Operations/mooreoptionsdialog.h"
#include "UI/Operations/photolithographydialog.h"
#include "UI/Operations/planarizationoptionsdialog.h"
#include "UI/Operations/savecrosssectiondialog.h"
#include "UI/Operations/simpleoxidationoptionsdialog.h"
#include "UI/Operations/simpleriedialog.h"
#include "UI/Operations/spincoatingoptionsdialog.h"
#include "Util/metatypes.h"
#include "Util/recentfolder.h"

#include <QColor>
#include <QDir>

namespace Ui {

using namespace Ui::Operations;
namespace names = Core::Operations::RecordParameters;
using Record = std::optional<ProcessData>;

namespace {

// A material choice: the id runs, the name and the colour are shown. `role` as in
// RecordParameters::material.
void setMaterial(ProcessData& process, int id, const QString& role = QString(),
                 bool idShown = false) {
    const auto material =
        Model::Materials::MaterialFactory::getInstance()->getMaterial(std::uint32_t(id));
    const auto channel = [](float value) { return int(value * 255.0f); };
    const auto parameter = names::material(role);
    process.setParameter(parameter.id, QVariant(uint(id)), idShown);
    process.setParameter(parameter.name, material.getName(), true);
    process.setParameter(parameter.color,
                         QColor(channel(material.getRed()), channel(material.getGreen()),
                                channel(material.getBlue()), 255),
                         false);
}

// Lengths kept as double that the dialogs hand over as float: stored as the shortest decimal
// that reads back as the same float, so the list shows 2.1 rather than 2.0999999046, and the
// executor runs with exactly the float the menu step would.
double asDouble(float value) {
    for (int digits = 6; digits < 9; ++digits) {
        const double shortened = QString::number(double(value), 'g', digits).toDouble();
        if (float(shortened) == value)
            return shortened;
    }
    return double(value);
}

// The height of the volume the step will run on; 0 when it is not known yet.
int volumeHeight(const BatchStepDialogs::Context& context) {
    return context.volume ? int(context.volume->getSizeZ()) : context.listVolumeHeight;
}

// A rate and a time in place of the distance `distanceName`, with an etch's other rates.
void setRateOrDistance(ProcessData& process,
                       const std::optional<Core::Operations::RateRecipe>& rate,
                       const QString& distanceName, const QVariant& distance) {
    if (!rate) {
        process.setParameter(distanceName, distance, true);
        return;
    }
    process.setParameter(names::byRateAndTime, true, false);
    process.setParameter(names::rate, rate->rate, true);
    process.setParameter(names::time, rate->time, true);
    if (!rate->otherRates.empty())
        process.setParameter(names::otherEtchRates,
                             Core::Operations::RateRecipe::formatRates(rate->otherRates), true);
}

// The dialogs' largest height. Planarization stops at the top of whatever volume it runs on,
// so this keeps every cell of a volume whose height is not known yet.
constexpr int wholeHeight = 999999999;

Record cvd(const BatchStepDialogs::Context& context) {
    IsotropicDepositionDialog dialog(context.parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    ProcessData process(ProcessData::CVD);
    setRateOrDistance(process, dialog.rate(), names::thickness, asDouble(dialog.thickness()));
    setMaterial(process, dialog.materialId());
    return process;
}

Record pvd(const BatchStepDialogs::Context& context) {
    const QString processName =
        Model::Process::ProcessFactory::getInstance()->getProcess(QStringLiteral("PVD")).getName();
    AnisotropicDepositionDialog dialog(processName, context.parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    static const char* const modes[] = {"On Top", "On Bottom", "On Top and Bottom"};
    const int mode = dialog.depositOnMode();
    ProcessData process(ProcessData::PVD);
    process.setParameter(names::thickness, asDouble(dialog.thickness()), true);
    setMaterial(process, dialog.materialId());
    process.setParameter(names::depositOn, mode, false);
    process.setParameter(names::depositOnText,
                         mode >= 1 && mode <= 3 ? QString::fromLatin1(modes[mode - 1]) : QString(),
                         true);
    process.setParameter(names::horizontalRatio, asDouble(dialog.horizontalRatio()), true);
    return process;
}

Record isotropicEtching(const BatchStepDialogs::Context& context) {
    IsotropicEtchingDialog dialog(context.parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    ProcessData process(ProcessData::IsotropicEtching);
    setRateOrDistance(process, dialog.rate(), names::depth, asDouble(dialog.depth()));
    setMaterial(process, dialog.materialId());
    return process;
}

// The etch dialog's rate and time; a depth given instead is taken as that many µm in a minute.
Record releaseEtch(const BatchStepDialogs::Context& context) {
    IsotropicEtchingDialog dialog(context.parent);
    dialog.setWindowTitle(QStringLiteral("Release Etch"));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    ProcessData process(ProcessData::ReleaseEtch);
    Core::Operations::RateRecipe recipe;
    if (const auto rate = dialog.rate()) {
        recipe = *rate;
    } else {
        recipe.rate = asDouble(dialog.depth());
        recipe.time = 1.0;
    }
    process.setParameter(names::rate, recipe.rate, true);
    process.setParameter(names::time, recipe.time, true);
    if (!recipe.otherRates.empty())
        process.setParameter(names::otherEtchRates,
                             Core::Operations::RateRecipe::formatRates(recipe.otherRates), true);
    setMaterial(process, dialog.materialId());
    return process;
}

Record moore(const BatchStepDialogs::Context& context, int type, const QString& label,
             const QString& valueName) {
    MooreOptionsDialog dialog(context.parent);
    dialog.setFilms(Model::Materials::MaterialFactory::getInstance()->getMaterials());
    dialog.setValueLabel(label);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    ProcessData process(type);
    process.setParameter(valueName, QVariant(uint(std::max(dialog.steps(), 0))), true);
    setMaterial(process, dialog.materialId());
    return process;
}

Record mooreDeposition(const BatchStepDialogs::Context& context) {
    return moore(context, ProcessData::MooreDeposition, QStringLiteral("Film Thickness"),
                 names::thickness);
}

Record mooreEtching(const BatchStepDialogs::Context& context) {
    return moore(context, ProcessData::MooreEtching, QStringLiteral("Etch Depth"), names::depth);
}

void setMask(ProcessData& process, const QString& side, const Model::Automaton::PhotoMask& mask,
             const QString& file, const std::optional<Model::Layout::LayoutMaskSource>& layout) {
    const auto parameter = names::mask(side);
    std::vector<unsigned char> bytes(mask.bits.begin(), mask.bits.end());
    process.setParameter(parameter.bits, QVariant::fromValue(bytes), false);
    process.setParameter(parameter.file, file, true);
    process.setParameter(parameter.height, QVariant(mask.height), true);
    process.setParameter(parameter.width, QVariant(mask.width), true);
    if (!layout)
        return;
    const auto names = names::layout(side);
    process.setParameter(names.source, layout->fileAndLayer(), true);
    process.setParameter(names.cell, layout->cell, true);
    process.setParameter(names.placement, layout->placementText(), true);
    process.setParameter(names.polarity,
                         layout->inverted ? QStringLiteral("drawn shapes are openings")
                                          : QStringLiteral("drawn shapes protect"),
                         true);
    process.setParameter(names.offsetX, layout->offsetX, false);
    process.setParameter(names.offsetY, layout->offsetY, false);
    process.setParameter(names.rotation, layout->rotation, false);
    process.setParameter(names.mirrored, layout->mirrored, false);
    process.setParameter(names.inverted, layout->inverted, false);
}

Record photolithography(const BatchStepDialogs::Context& context) {
    PhotolithographyDialog dialog(*context.prompts, context.parent);
    if (context.volume)
        dialog.setColumnGrid(Model::Layout::ColumnGrid::of(*context.volume));
    if (context.previewTopMask)
        QObject::connect(&dialog, &PhotolithographyDialog::topMaskChanged, context.previewTopMask);
    if (context.previewBottomMask)
        QObject::connect(&dialog, &PhotolithographyDialog::bottomMaskChanged,
                         context.previewBottomMask);
    if (dialog.exec() != QDialog::Accepted) {
        // Masks shown for a step that was not added would stay in the view.
        for (const auto& preview : {context.previewTopMask, context.previewBottomMask})
            if (preview)
                preview(Model::Automaton::PhotoMask());
        return {};
    }
    ProcessData process(ProcessData::Photolithography);
    setMaterial(process, dialog.materialId());
    setMask(process, QStringLiteral("Top"), dialog.topMask(), dialog.topMaskFile(),
            dialog.topLayout());
    setMask(process, QStringLiteral("Bottom"), dialog.bottomMask(), dialog.bottomMaskFile(),
            dialog.bottomLayout());
    return process;
}

Record planarization(const BatchStepDialogs::Context& context) {
    PlanarizationOptionsDialog dialog(context.parent);
    const int height = volumeHeight(context);
    dialog.limitToVolumeHeight(height > 0 ? height : wholeHeight);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    ProcessData process(ProcessData::Planarization);
    process.setParameter(names::maximumHeight, QVariant(uint(dialog.maximumHeight())), true);
    process.setParameter(names::minimumHeight, QVariant(uint(dialog.minimumHeight())), true);
    return process;
}

Record siWetEtching(const BatchStepDialogs::Context& context) {
    BCAEtchingDialog dialog(context.parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    ProcessData process(ProcessData::SiWetEtching);
    if (const auto recipe = dialog.recipe()) {
        process.setParameter(names::kohRecipe, true, false);
        process.setParameter(names::kohConcentration, recipe->concentration, true);
        process.setParameter(names::kohTemperature, recipe->temperature, true);
        process.setParameter(names::etchTime, recipe->time, true);
        // Only a chosen etchant is written: lists without it etch by the plain rule.
        if (recipe->etchant)
            process.setParameter(names::etchant, etchantName(*recipe->etchant), true);
    } else {
        process.setParameter(names::depth, dialog.depth(), true);
    }
    process.setParameter(names::periodicSides, dialog.periodicSides(), dialog.periodicSides());
    // Lists of etches from the top stay as they were written before the back side could etch.
    if (dialog.etchSide() != Core::Operations::EtchSide::Top)
        process.setParameter(names::etchSide, etchSideName(dialog.etchSide()), true);
    return process;
}

Record electroplating(const BatchStepDialogs::Context& context) {
    ElectrodepositionDialog dialog(context.parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    ProcessData process(ProcessData::Electroplating);
    process.setParameter(names::filmThickness, asDouble(dialog.thickness()), true);
    setMaterial(process, dialog.conductingMaterialId(), QStringLiteral("Conducting"));
    setMaterial(process, dialog.materialId(), QStringLiteral("Deposited"));
    return process;
}

Record doping(const BatchStepDialogs::Context& context) {
    DopingOptionsDialog dialog(context.parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    ProcessData process(ProcessData::Doping);
    process.setParameter(names::dopingDepth, dialog.depth(), true);
    setMaterial(process, dialog.dopedMaterialId(), QStringLiteral("Doped"), true);
    if (const auto concentration = dialog.concentration())
        process.setParameter(names::concentration, *concentration, true);
    return process;
}

Record ionImplantation(const BatchStepDialogs::Context& context) {
    IonImplantationOptionsDialog dialog(context.parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    ProcessData process(ProcessData::IonImplantation);
    process.setParameter(names::annealingDistance, dialog.annealingDistance(), true);
    process.setParameter(names::implantationDepth, dialog.implantationDepth(), true);
    setMaterial(process, dialog.dopedMaterialId(), QStringLiteral("Doped"), true);
    return process;
}

Record spinCoating(const BatchStepDialogs::Context& context) {
    SpinCoatingOptionsDialog dialog(context.parent);
    if (const int height = volumeHeight(context); height > 0)
        dialog.limitToVolumeHeight(height);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    ProcessData process(ProcessData::SpinCoating);
    setMaterial(process, dialog.materialId());
    process.setParameter(names::maximumHeight, QVariant(uint(dialog.depositionHeight())), true);
    return process;
}

Record simpleRie(const BatchStepDialogs::Context& context) {
    SimpleRIEDialog dialog(context.parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const bool below = dialog.etchFromBelow();
    const bool top = dialog.etchFromTop();
    QStringList sides;
    if (below)
        sides << QStringLiteral("Bottom");
    if (top)
        sides << QStringLiteral("Top");
    ProcessData process(ProcessData::SimpleRIE);
    setMaterial(process, dialog.materialId());
    setRateOrDistance(process, dialog.rate(), names::etchDepth,
                      QVariant(uint(std::max(dialog.depth(), 0))));
    process.setParameter(names::etchDirectionValue, (below ? 2 : 0) | (top ? 1 : 0), false);
    process.setParameter(names::etchDirection, sides.join(QStringLiteral(" and ")), true);
    return process;
}

Record siOxidation(const BatchStepDialogs::Context& context) {
    SimpleOxidationOptionsDialog dialog(context.parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const bool byTime = dialog.isTimeMode();
    ProcessData process(ProcessData::SiOxidation);
    process.setParameter(names::micronConversion, dialog.micronConversion(), true);
    process.setParameter(names::oxidationPressure, dialog.pressure(), byTime);
    process.setParameter(names::oxidationTemperature, dialog.temperature(), byTime);
    process.setParameter(names::oxidationTime, dialog.oxidationTime(), byTime);
    process.setParameter(names::oxidationTimeSet, byTime, false);
    process.setParameter(names::oxidationThickness, dialog.oxideThickness(), !byTime);
    process.setParameter(names::oxidationThicknessSet, !byTime, false);
    return process;
}

Record createSubstrate(const BatchStepDialogs::Context& context) {
    CreateSubstrateDialog dialog(context.parent);
    dialog.setMaterials(Model::Materials::MaterialFactory::getInstance()->getMaterials());
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const bool sphere = dialog.isSpherical();
    const auto whole = [](int value) { return QVariant(uint(std::max(value, 0))); };
    ProcessData process(ProcessData::CreateSubstrate);
    setMaterial(process, dialog.materialId());
    process.setParameter(names::corner, QVariant::fromValue(dialog.position()), true);
    const int volumeSizes[] = {dialog.totalSizeX(), dialog.totalSizeY(), dialog.totalSizeZ()};
    const int sizes[] = {dialog.substrateSizeX(), dialog.substrateSizeY(), dialog.substrateSizeZ()};
    const int corners[] = {dialog.substrateCornerX(), dialog.substrateCornerY(),
                           dialog.substrateCornerZ()};
    const int centre[] = {dialog.centerX(), dialog.centerY(), dialog.centerZ()};
    for (int axis = 0; axis < 3; ++axis) {
        const char letter = char('X' + axis);
        process.setParameter(names::axis(names::volumeSize, letter), whole(volumeSizes[axis]),
                             true);
        process.setParameter(names::axis(names::substrateSize, letter), whole(sizes[axis]),
                             !sphere);
        process.setParameter(names::axis(names::substrateDelta, letter), whole(corners[axis]),
                             !sphere);
        process.setParameter(names::axis(names::substrateCenter, letter), whole(centre[axis]),
                             sphere);
    }
    process.setParameter(names::sphericalSubstrate, sphere, false);
    process.setParameter(names::substrateRadius, whole(dialog.radius()), sphere);
    // Cell sizes in µm, kept only when they are not the 1 µm cubes every older list means.
    const double edges[] = {dialog.cellSizeX(), dialog.cellSizeY(), dialog.cellSizeZ()};
    if (edges[0] != 1.0 || edges[1] != 1.0 || edges[2] != 1.0)
        for (int axis = 0; axis < 3; ++axis)
            process.setParameter(names::axis(names::cellSize, char('X' + axis)),
                                 QVariant(float(edges[axis])), true);
    // Lists of (100) wafers stay as they were written before wafers had an orientation.
    const auto orientation = dialog.crystalOrientation();
    if (orientation != Model::Automaton::CrystalOrientation::Surface100)
        process.setParameter(names::crystalOrientation,
                             Model::Automaton::crystalOrientationName(orientation), true);
    return process;
}

Record saveImage(const BatchStepDialogs::Context& context) {
    const QString file =
        context.prompts->chooseSaveFileIn(QStringLiteral("Save Image"), Util::RecentFolder::get(),
                                          QStringLiteral("Image Files (*.png *.jpg *.bmp)"));
    if (file.isEmpty())
        return {};
    Util::RecentFolder::remember(file);
    ProcessData process(ProcessData::SaveImage);
    process.setParameter(names::fileName, file, true);
    return process;
}

Record measure(const BatchStepDialogs::Context& context) {
    MeasureStepDialog dialog(context.parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    ProcessData process(ProcessData::Measure);
    process.setParameter(names::measurement, dialog.measurement(), true);
    process.setParameter(names::resultName, dialog.resultName(), true);
    return process;
}

Record saveCrossSection(const BatchStepDialogs::Context& context) {
    SaveCrossSectionDialog dialog(context.parent);
    if (context.volume) {
        using Model::Export::CrossSection;
        using Axis = Model::Export::SectionPlane::Axis;
        const auto& volume = *context.volume;
        dialog.setExtents({CrossSection::extent(volume, Axis::X),
                           CrossSection::extent(volume, Axis::Y),
                           CrossSection::extent(volume, Axis::Z)});
        // Through the middle, as a first look at a structure usually goes.
        dialog.setPosition(CrossSection::extent(volume, Axis::Y) / 2);
    }
    if (context.prompts)
        dialog.setFileChooser([&context] {
            return context.prompts->chooseSaveFileIn(QStringLiteral("Save Cross-Section"),
                                                     QDir::homePath(),
                                                     QStringLiteral("Pictures (*.png *.svg)"));
        });
    if (dialog.exec() != QDialog::Accepted || dialog.fileName().isEmpty())
        return {};
    ProcessData process(ProcessData::SaveCrossSection);
    process.setParameter(names::planeAxis, QString(QLatin1Char(char('x' + dialog.axis()))), true);
    process.setParameter(names::planePosition, dialog.position(), true);
    process.setParameter(names::fileName, dialog.fileName(), true);
    return process;
}

// The flux steps' records hold their whole recipe; the rays and the seed only when they differ
// from the executor's defaults, so that lists stay short.
Record fluxStep(const BatchStepDialogs::Context& context,
                Core::Operations::FluxStepRecipe::Kind kind) {
    using Core::Operations::FluxStepRecipe;
    FluxStepDialog dialog(kind, context.parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const FluxStepRecipe recipe = dialog.recipe();
    const bool etching = kind == FluxStepRecipe::Kind::Etching;
    ProcessData process(etching ? ProcessData::FluxEtching : ProcessData::FluxDeposition);
    setMaterial(process, int(recipe.material));
    if (etching) {
        process.setParameter(names::rate, recipe.rate, true);
        process.setParameter(names::time, recipe.time, true);
        if (!recipe.otherRates.empty())
            process.setParameter(names::otherEtchRates,
                                 Core::Operations::RateRecipe::formatRates(recipe.otherRates),
                                 true);
        process.setParameter(names::ionExponent, recipe.ionExponent, true);
        process.setParameter(names::neutralSticking, recipe.neutralSticking, true);
        process.setParameter(names::ionShare, recipe.ionShare, true);
    } else {
        if (dialog.byRate()) {
            process.setParameter(names::byRateAndTime, true, false);
            process.setParameter(names::rate, recipe.rate, true);
            process.setParameter(names::time, recipe.time, true);
        } else {
            process.setParameter(names::thickness, recipe.time, true);
        }
        process.setParameter(names::sourceExponent, recipe.sourceExponent, true);
        process.setParameter(names::sticking, recipe.sticking, true);
    }
    process.setParameter(names::periodicSides, recipe.periodicSides, true);
    if (recipe.raysPerCell != FluxStepRecipe().raysPerCell)
        process.setParameter(names::raysPerCell, recipe.raysPerCell, true);
    return process;
}

Record fluxEtching(const BatchStepDialogs::Context& context) {
    return fluxStep(context, Core::Operations::FluxStepRecipe::Kind::Etching);
}

Record fluxDeposition(const BatchStepDialogs::Context& context) {
    return fluxStep(context, Core::Operations::FluxStepRecipe::Kind::Deposition);
}

Record boschDrie(const BatchStepDialogs::Context& context) {
    BoschDrieDialog dialog(context.parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const Core::Operations::BoschRecipe recipe = dialog.recipe();
    ProcessData process(ProcessData::BoschDrie);
    setMaterial(process, int(recipe.material));
    process.setParameter(names::cycles, recipe.cycles, true);
    if (dialog.byRate()) {
        process.setParameter(names::byRateAndTime, true, false);
        process.setParameter(names::etchRate, dialog.etchRate(), true);
        process.setParameter(names::etchTimePerCycle, dialog.etchTime(), true);
        process.setParameter(names::passivationRate, dialog.passivationRate(), true);
        process.setParameter(names::passivationTimePerCycle, dialog.passivationTime(), true);
    } else {
        process.setParameter(names::etchDepthPerCycle, recipe.etchDepthPerCycle, true);
        process.setParameter(names::passivationThickness, recipe.passivationThickness, true);
    }
    process.setParameter(names::isotropy, recipe.isotropy, true);
    process.setParameter(names::stripPassivation, recipe.stripPassivation, true);
    process.setParameter(names::periodicSides, recipe.periodicSides, true);
    if (recipe.raysPerCell != Core::Operations::BoschRecipe().raysPerCell)
        process.setParameter(names::raysPerCell, recipe.raysPerCell, true);
    return process;
}

struct Entry {
    BatchStepDialogs::Kind kind;
    Record (*ask)(const BatchStepDialogs::Context&);
};

const Entry entries[] = {
    {{"CVD", ProcessData::CVD}, cvd},
    {{"PVD", ProcessData::PVD}, pvd},
    {{"Isotropic Etching", ProcessData::IsotropicEtching}, isotropicEtching},
    {{"Release Etch", ProcessData::ReleaseEtch}, releaseEtch},
    {{"Moore Deposition", ProcessData::MooreDeposition}, mooreDeposition},
    {{"Moore Etching", ProcessData::MooreEtching}, mooreEtching},
    {{"Photolithography", ProcessData::Photolithography}, photolithography},
    {{"Planarization", ProcessData::Planarization}, planarization},
    {{"Si Wet Etching", ProcessData::SiWetEtching}, siWetEtching},
    {{"Electroplating", ProcessData::Electroplating}, electroplating},
    {{"Doping", ProcessData::Doping}, doping},
    {{"Ion Implantation", ProcessData::IonImplantation}, ionImplantation},
    {{"Spin Coating", ProcessData::SpinCoating}, spinCoating},
    {{"Simple RIE", ProcessData::SimpleRIE}, simpleRie},
    {{"Flux Etching", ProcessData::FluxEtching}, fluxEtching},
    {{"Flux Deposition", ProcessData::FluxDeposition}, fluxDeposition},
    {{"Bosch DRIE", ProcessData::BoschDrie}, boschDrie},
    {{"Thermal Oxidation", ProcessData::SiOxidation}, siOxidation},
    {{"Create Substrate", ProcessData::CreateSubstrate}, createSubstrate},
    {{"Save Image", ProcessData::SaveImage}, saveImage},
    {{"Measure", ProcessData::Measure}, measure},
    {{"Save Cross-Section", ProcessData::SaveCrossSection}, saveCrossSection},
};

} // namespace

const std::vector<BatchStepDialogs::Kind>& BatchStepDialogs::kinds() {
    static const std::vector<Kind> all = [] {
        std::vector<Kind> list;
        for (const Entry& entry : entries)
            list.push_back(entry.kind);
        return list;
    }();
    return all;
}

std::optional<ProcessData> BatchStepDialogs::ask(int type, const Context& context) {
    for (const Entry& entry : entries)
        if (entry.kind.type == type)
            return entry.ask(context);
    return std::nullopt;
}

} // namespace Ui
