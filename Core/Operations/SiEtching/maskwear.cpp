#include "Core/Operations/SiEtching/maskwear.h"

#include "Core/Operations/Isotropic/isotropicfilmetching.h"
#include "Core/Operations/celllength.h"
#include "Model/Materials/materialfactory.h"

namespace Core::Operations {

namespace {

using MaskEtchant = MaskEtchRate::Etchant;

const MaskEtchRate rates[] = {
    // Williams and Muller 1996, KOH 30 wt% at 80 °C.
    {MaskEtchant::Koh, "Thermal Si02", 7.7, 1400.0},
    {MaskEtchant::Koh, "Si3N4 (LPCVD)", 0.0, 1400.0},
    // Tabata et al. 1992, TMAH 22 wt% at 90 °C.
    {MaskEtchant::Tmah, "Thermal Si02", 0.2, 1000.0},
    {MaskEtchant::Tmah, "Si3N4 (LPCVD)", 0.0, 1000.0},
};

} // namespace

const MaskEtchRate (&MaskWear::table())[4] {
    return rates;
}

double MaskWear::kohRate(const QString& material, const KohRecipe& recipe) {
    // A TMAH recipe wears its masks by the TMAH table; any other by KOH's.
    const MaskEtchant etchant =
        recipe.etchant == Etchant::Tmah ? MaskEtchant::Tmah : MaskEtchant::Koh;
    for (const MaskEtchRate& entry : rates)
        if (entry.etchant == etchant && material == QLatin1String(entry.material))
            // nm/min over nm/min, times the recipe's µm/min.
            return entry.rate / entry.silicon100 * recipe.rate100();
    return 0.0;
}

QStringList MaskWear::wear(Model::Automaton::TotalVolume& volume, const KohRecipe& recipe,
                           Util::ProgressReporter& progress) {
    QStringList thinned;
    for (const Model::Materials::Material& material :
         Model::Materials::MaterialFactory::getInstance()->getMaterials()) {
        const double rate = kohRate(material.getName(), recipe);
        if (!(rate > 0.0))
            continue;
        const CellLength length = CellLength::of(volume, rate * recipe.time);
        if (length.cells > 0)
            IsotropicFilmEtching(volume, int(material.getId()), float(length.sceneUnits()))
                .runEtching(progress);
        thinned << QStringLiteral("%1 thinned by %2 µm (%3 %4)")
                       .arg(material.getName(), CellLength::number(length.requested))
                       .arg(length.cells)
                       .arg(length.cells == 1 ? QStringLiteral("cell") : QStringLiteral("cells"));
    }
    return thinned;
}

} // namespace Core::Operations
