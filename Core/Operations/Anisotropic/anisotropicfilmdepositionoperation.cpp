#include "Core/Operations/Anisotropic/anisotropicfilmdepositionoperation.h"

#include "Core/Operations/Anisotropic/anisotropicfilmdeposition.h"

namespace Core::Operations {

namespace {
// The largest thickness and ratio the dialog offers.
constexpr double largest = 1.0e9;
} // namespace

AnisotropicFilmDepositionOperation::AnisotropicFilmDepositionOperation(OperationContext& context)
    : SnapshotProcessOperation(context, QStringLiteral("Isotropic Deposition"), 27,
                               QStringLiteral("IsotropicDeposition")) {}

QString AnisotropicFilmDepositionOperation::refusalFor(int materialId, float thickness,
                                                       float horizontalRatio, int depositOnMode) {
    // The dialog's list is empty when the process names no compatible material; running
    // then would change nothing and still be recorded as a step.
    if (materialId <= 0)
        return QStringLiteral("No deposited material was chosen.");
    if (!isWithin(thickness, 0.0, largest))
        return QStringLiteral("The film thickness must be a number from 0 to 1000000000 units.");
    if (!(horizontalRatio > 0.0f) || !isWithin(horizontalRatio, 0.0, largest))
        return QStringLiteral("The horizontal ratio must be a number above 0 and at most "
                              "1000000000.");
    if (depositOnMode < AnisotropicFilmDeposition::OnTop ||
        depositOnMode > AnisotropicFilmDeposition::OnTopAndBottom)
        return QStringLiteral("The deposit-on mode must be 1 (on top), 2 (on bottom) or 3 (on "
                              "top and bottom).");
    return QString();
}

void AnisotropicFilmDepositionOperation::run(Model::Automaton::TotalVolume& volume, int materialId,
                                             float thickness, float horizontalRatio,
                                             int depositOnMode, Util::ProgressReporter& progress) {
    // The thickness is given in µm and made of whole cells.
    const auto film = float(CellLength::of(volume, thickness).sceneUnits());
    AnisotropicFilmDeposition(volume, materialId, film, horizontalRatio, depositOnMode)
        .runDeposition(progress);
}

QString AnisotropicFilmDepositionOperation::refusal() const {
    return refusalFor(*materialId, *thickness, *horizontalRatio, *depositOnMode);
}

std::optional<LengthRequest> AnisotropicFilmDepositionOperation::requestedLength() const {
    return LengthRequest{double(*thickness), QStringLiteral("film thickness"),
                         QStringLiteral("deposited")};
}

void AnisotropicFilmDepositionOperation::runEngine(Model::Automaton::TotalVolume& volume,
                                                   Util::ProgressReporter& progress) {
    run(volume, *materialId, *thickness, *horizontalRatio, *depositOnMode, progress);
}

} // namespace Core::Operations
