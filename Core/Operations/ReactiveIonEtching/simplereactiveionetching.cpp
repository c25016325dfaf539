#include "Core/Operations/ReactiveIonEtching/simplereactiveionetching.h"

#include "Core/Operations/Kernels/columnfront.h"

#include <QLoggingCategory>

namespace Core::Operations {

namespace {

Q_LOGGING_CATEGORY(lcSimpleRie, "Core/Operations/ReactiveIonEtching/simplereactiveionetching",
                   QtInfoMsg)

// The same directions for every column.
class EtchRule {
public:
    EtchRule(int material, int directions)
        : etched(std::uint32_t(material)),
          top((directions & SimpleReactiveIonEtching::fromTop) != 0),
          below((directions & SimpleReactiveIonEtching::fromBelow) != 0) {}

    std::uint32_t material() const { return etched; }
    bool openFromTop(Model::Automaton::CellIndex) const { return top; }
    bool openFromBelow(Model::Automaton::CellIndex) const { return below; }

private:
    std::uint32_t etched;
    bool top;
    bool below;
};

} // namespace

SimpleReactiveIonEtching::SimpleReactiveIonEtching(Model::Automaton::TotalVolume& volume,
                                                   int material, int steps, int directions)
    : volume(volume), material(material), steps(steps), directions(directions) {}

void SimpleReactiveIonEtching::runEtching(Util::ProgressReporter& progress) {
    const Model::Automaton::CellArraysLock cells(volume);
    const EtchRule rule(material, directions);
    ColumnFront<EtchRule> front(volume, cells, rule);
    front.watch(progress);
    progress.start(std::uint64_t(std::max(steps, 0)));
    front.seed();
    for (int step = 0; step < steps && !front.isEmpty(); ++step) {
        front.advance();
        progress.advance();
        if (lcSimpleRie().isDebugEnabled()) {
            for (int strip = 0; strip < front.stripCount(); ++strip)
                qCDebug(lcSimpleRie).nospace()
                    << "Surface list size for thread " << strip << ": " << front.frontSize(strip);
        }
    }
}

} // namespace Core::Operations
