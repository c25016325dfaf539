#include "UI/operationfactory.h"

#include "UI/Observers/atomicsibcaetchobserver.h"
#include "UI/Observers/ccawetetchingobserver.h"
#include "UI/Observers/isotropicprocessobservers.h"
#include "UI/mainwindowpresenter.h"

namespace Ui {

using namespace Core::Operations;
using namespace Ui::Observers;

OperationFactory::OperationFactory(MainWindowPresenter& presenter) : presenter(presenter) {
    registerWithObserver<IsotropicFilmDepositionOperation, IsotropicFilmDepositionObserver>(13);
    registerWithObserver<IsotropicFilmEtchingOperation, IsotropicFilmEtchingObserver>(14);
    registerWithObserver<ElectrodepositionOperation, ElectrodepositionObserver>(15);
    registerWithObserver<MooreNeighborhoodDepositionOperation, MooreDepositionObserver>(18);
    registerWithObserver<MooreNeighborhoodEtchingOperation, MooreEtchingObserver>(19);
    registerWithObserver<AtomisticSiWetEtchingOperation, AtomicSiBCAEtchObserver>(28);
    registerWithObserver<ContinousWetEtchOperation, CCAWetEtchingObserver>(29);
}

OperationContext& OperationFactory::getContext() {
    return presenter.getContext();
}

Core::Operations::OperationPtr OperationFactory::create(unsigned int operationNumber) {
    const auto found = creators.find(operationNumber);
    return found == creators.end() ? nullptr : found->second(*this);
}

QWidget* OperationFactory::getParentWidget() const {
    return presenter.getParentWidget();
}

} // namespace Ui
