#include "UI/operationfactory.h"

#include "Core/Operations/Document/exportoperations.h"
#include "Core/Operations/Document/opendocumentoperation.h"
#include "Core/Operations/Document/savedocumentasoperation.h"
#include "Core/Operations/Measure/measureoperations.h"
#include "Core/Operations/Objects/copyobject.h"
#include "Core/Operations/Objects/deleteobject.h"
#include "Core/Operations/Objects/moveobject.h"
#include "UI/Observers/atomicsibcaetchobserver.h"
#include "UI/Observers/batchrunobserver.h"
#include "UI/Observers/boschdrieobserver.h"
#include "UI/Observers/ccawetetchingobserver.h"
#include "UI/Observers/changetotalvolumeviewoptionsobserver.h"
#include "UI/Observers/createsubstrateobserver.h"
#include "UI/Observers/cutcellvolumeobserver.h"
#include "UI/Observers/cvdobserver.h"
#include "UI/Observers/destroymodelextractiondialogobserver.h"
#include "UI/Observers/documentopenedobserver.h"
#include "UI/Observers/documentsavedobserver.h"
#include "UI/Observers/dopingobservers.h"
#include "UI/Observers/extractfilmobserver.h"
#include "UI/Observers/fluxstepobservers.h"
#include "UI/Observers/gluesubstrateobserver.h"
#include "UI/Observers/isotropicprocessobservers.h"
#include "UI/Observers/photolithographyobserver.h"
#include "UI/Observers/planarizationobserver.h"
#include "UI/Observers/runmodelextractionobserver.h"
#include "UI/Observers/simplerieobserver.h"
#include "UI/Observers/sioxidationobserver.h"
#include "UI/Observers/spincoatingobserver.h"
#include "UI/mainwindowpresenter.h"

namespace Ui {

using namespace Core::Operations;
using namespace Ui::Observers;

OperationFactory::OperationFactory(MainWindowPresenter& presenter) : presenter(presenter) {
    registerWithObserver<CreateSubstrateOperation, CreateSubstrateObserver>(2);
    registerWithObserver<IonImplantationOperation, IonImplantationOptionsObserver>(3);
    registerWithObserver<ExtractFilm, ExtractFilmObserver>(8);
    registerWithObserver<GlueSubstrateOperation, GlueSubstrateObserver>(12);
    registerWithObserver<CutCellVolumeOperation, CutCellVolumeObserver>(16);
    registerObjectOperations();
    registerWithObserver<IsotropicFilmDepositionOperation, IsotropicFilmDepositionObserver>(13);
    registerWithObserver<IsotropicFilmEtchingOperation, IsotropicFilmEtchingObserver>(14);
    registerWithObserver<ReleaseEtchOperation, IsotropicFilmEtchingObserver>(
        ReleaseEtchOperation::number);
    registerWithObserver<ElectrodepositionOperation, ElectrodepositionObserver>(15);
    registerWithObserver<DopingOperation, DopingOptionsObserver>(17);
    registerWithObserver<MooreNeighborhoodDepositionOperation, MooreDepositionObserver>(18);
    registerWithObserver<MooreNeighborhoodEtchingOperation, MooreEtchingObserver>(19);
    registerWithObserver<PhotolithographyOperation, PhotolithographyObserver>(20);
    registerWithObserver<PlanarizationOperation, PlanarizationObserver>(22);
    registerWithObserver<SpinCoatingOperation, SpinCoatingObserver>(23);
    registerWithObserver<SimpleSiOxidationOperation, SiOxidationObserver>(26);
    registerWithObserver<AnisotropicFilmDepositionOperation, CVDObserver>(27);
    registerWithObserver<AtomisticSiWetEtchingOperation, AtomicSiBCAEtchObserver>(28);
    registerWithObserver<ContinousWetEtchOperation, CCAWetEtchingObserver>(29);
    registerWithObserver<SimpleReactiveIonEtchingOperation, SimpleRIEObserver>(30);
    registerWithObserver<FluxEtchingOperation, FluxEtchingObserver>(FluxEtchingOperation::number);
    registerWithObserver<FluxDepositionOperation, FluxDepositionObserver>(
        FluxDepositionOperation::number);
    registerWithObserver<BoschDrieOperation, BoschDrieObserver>(BoschDrieOperation::number);

    // The save operations retitle their own window; Open keeps its observer in a slot shared
    // by all windows, refilled by each activation, and opens the document in a new window.
    const auto save = [](auto operation, OperationFactory& factory) -> OperationPtr {
        operation->setObserver(std::make_shared<DocumentSavedObserver>(
            factory.getParentWidget(), factory.getContext().document));
        return operation;
    };
    creators[9] = [save](OperationFactory& factory) {
        return save(std::make_shared<SaveDocumentOperation>(factory.getContext()), factory);
    };
    creators[10] = [save](OperationFactory& factory) {
        return save(std::make_shared<SaveDocumentAsOperation>(factory.getContext()), factory);
    };
    creators[11] = [](OperationFactory& factory) -> OperationPtr {
        OpenDocumentOperation::setObserver(
            std::make_shared<DocumentOpenedObserver>(factory.getPresenter()));
        return std::make_shared<OpenDocumentOperation>(factory.getContext());
    };
    // Like Open, the batch run keeps its observer in a slot every window refills.
    creators[24] = [](OperationFactory& factory) -> OperationPtr {
        SelectVolumesOperation::setObserver(std::make_shared<BatchRunObserver>(
            factory.getContext().currentOperation, factory.getPresenter()));
        return std::make_shared<SelectVolumesOperation>(factory.getContext());
    };
    // One observer opens the extraction's dialog, the other closes it on cancel; they share it.
    creators[1000] = [](OperationFactory& factory) -> OperationPtr {
        auto operation = std::make_shared<RunModelExtraction>(factory.getContext());
        const auto dialog = std::make_shared<QPointer<Ui::Operations::ExtractModelDialog>>();
        operation->setDialogObserver(std::make_shared<RunModelExtractionObserver>(
            factory.getContext().currentOperation, factory.getParentWidget(), dialog));
        operation->setDestroyDialogObserver(
            std::make_shared<DestroyModelExtractionDialogObserver>(dialog));
        return operation;
    };
    creators[40] = [](OperationFactory& factory) -> OperationPtr {
        return std::make_shared<ExportMeshOperation>(factory.getContext());
    };
    creators[41] = [](OperationFactory& factory) -> OperationPtr {
        return std::make_shared<ExportVolumeOperation>(factory.getContext());
    };
    creators[50] = [](OperationFactory& factory) -> OperationPtr {
        return std::make_shared<MeasureDistanceOperation>(factory.getContext());
    };
    creators[51] = [](OperationFactory& factory) -> OperationPtr {
        return std::make_shared<StackAtPointOperation>(factory.getContext());
    };
    creators[52] = [](OperationFactory& factory) -> OperationPtr {
        return std::make_shared<FreeStructuresOperation>(factory.getContext());
    };
    creators[42] = [](OperationFactory& factory) -> OperationPtr {
        return std::make_shared<SaveCrossSectionOperation>(factory.getContext());
    };
}

void OperationFactory::registerObjectOperations() {
    creators[1] = [](OperationFactory& factory) -> OperationPtr {
        return std::make_shared<CopyObject>(factory.getContext());
    };
    creators[4] = [](OperationFactory& factory) -> OperationPtr {
        return std::make_shared<DeleteObject>(factory.getContext());
    };
    creators[7] = [](OperationFactory& factory) -> OperationPtr {
        return std::make_shared<MoveObject>(factory.getContext());
    };
    // One observer slot for every window: each activation refills it with its own window's.
    creators[6] = [](OperationFactory& factory) -> OperationPtr {
        ChangeTotalVolumeVisualizationOptions::setObserver(
            std::make_shared<ChangeTotalVolumeViewOptionsObserver>(
                factory.getContext().currentOperation, factory.getParentWidget()));
        return std::make_shared<ChangeTotalVolumeVisualizationOptions>(factory.getContext());
    };
}

OperationContext& OperationFactory::getContext() {
    return presenter.getContext();
}

Core::Operations::OperationPtr OperationFactory::create(unsigned int operationNumber) {
    const auto found = creators.find(operationNumber);
    return found == creators.end() ? nullptr : found->second(*this);
}

DialogMemory* OperationFactory::getDialogMemory() {
    return &presenter.getDialogMemory();
}

QWidget* OperationFactory::getParentWidget() const {
    return presenter.getParentWidget();
}

} // namespace Ui
