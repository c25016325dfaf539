#pragma once

#include "Core/Operations/SiEtching/kohrecipe.h"
#include "Util/progressreporter.h"

#include <QString>
#include <QStringList>

namespace Model::Automaton {
class TotalVolume;
}

namespace Core::Operations {

// The films that mask a silicon wet etch are etched too, only far more slowly: thermal oxide
// thins noticeably in a long KOH etch, LPCVD silicon nitride hardly at all, and in TMAH both
// hold. The rates are one table per source, each at the etchant, concentration and
// temperature it was measured at:
//
//   K. R. Williams and R. S. Muller, "Etch rates for micromachining processing", J.
//   Microelectromech. Syst. 5(4), 256-269 (1996), the table of etch rates (nm/min):
//     KOH 30 wt% at 80 °C: Si (100) 1400, wet thermal oxide 7.7, LPCVD Si3N4 0 (none measured)
//   O. Tabata et al., "Anisotropic etching of silicon in TMAH solutions", Sensors and
//   Actuators A 34, 51-57 (1992):
//     TMAH 22 wt% at 90 °C: Si (100) 1000, thermal oxide 0.2, LPCVD Si3N4 0 (none measured)
//
// A recipe at another concentration or temperature keeps the table's selectivity to (100)
// silicon: a mask film's rate is the table's rate scaled by the recipe's (100) rate over the
// (100) rate the table gives. Oxide's own activation energy differs from silicon's, so away
// from the table's point this is an estimate; it is what lets a long etch wear its mask.
struct MaskEtchRate {
    enum class Etchant { Koh, Tmah };
    Etchant etchant;
    // The material's name in the registry.
    const char* material;
    // nm/min at the table's point, and the (100) silicon rate there.
    double rate;
    double silicon100;
};

class MaskWear {
public:
    static const MaskEtchRate (&table())[4];

    // The rate in µm/min of a registered material in the recipe's KOH, 0 for a material the
    // table does not list (it does not wear).
    static double kohRate(const QString& material, const KohRecipe& recipe);

    // Etches every mask material of the table that the volume's registry knows by its rate ×
    // the recipe's time, each from the surface it had before (as a rate recipe's other
    // materials are), in whole cells. Returns one text per material that thinned, "Thermal
    // Si02 thinned by 2.02 µm (2 cells)", for the step's message.
    static QStringList wear(Model::Automaton::TotalVolume& volume, const KohRecipe& recipe,
                            Util::ProgressReporter& progress = Util::ProgressReporter::none());
};

} // namespace Core::Operations
