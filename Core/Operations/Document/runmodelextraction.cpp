#include "Core/Operations/Document/runmodelextraction.h"

#include "Core/Operations/Objects/documentedits.h"
#include "Model/ModelExtraction/cantilevermodelrule.h"
#include "Model/ModelExtraction/cutgriddecomposition.h"
#include "Model/ModelExtraction/netlistfile.h"
#include "Util/recentfolder.h"

#include <QFileInfo>

namespace Core::Operations {

using Model::ModelExtraction::ExtractedModel;

namespace {

// The console speaks of the activity, not of the operation's name.
const QString prefix = QStringLiteral("Model Extraction");

} // namespace

RunModelExtraction::RunModelExtraction(OperationContext& context)
    : Operation(QStringLiteral("Extract Model"), 1000), context(context) {}

void RunModelExtraction::message(const QString& text) const {
    context.consoleInput.writeMessage(prefix + text);
}

void RunModelExtraction::step() {
    if (stepCounter != WaitingForVolume)
        return;
    volume = DocumentEdits::takeSelectedVolume(
        context, *this, prefix + QStringLiteral(": Select a cell volume and press Enter/Return."),
        prefix + QStringLiteral(": Cell volume selected."));
    if (!volume)
        return;
    context.consoleInput.reset();
    stepCounter = DialogOpen;
    DocumentEdits::openDialog(*this, dialogObserver);
    context.notifyUpdateObservers();
}

bool RunModelExtraction::stepOne() {
    if (stepCounter != DialogOpen || !volume || preprocessingModel)
        return false;
    QString reason;
    auto model = Model::ModelExtraction::CutGridDecomposition::preprocess(*volume, &reason);
    if (!model) {
        message(QStringLiteral(": ") + reason);
        return false;
    }
    volume->getPainter().setHidden(true);
    envelopeModel = model;
    preprocessingModel = std::move(model);
    DocumentEdits::add(context, preprocessingModel);
    context.notifyUpdateObservers();
    return true;
}

bool RunModelExtraction::stepTwo() {
    if (stepCounter != DialogOpen || !envelopeModel)
        return false;
    Model::ModelExtraction::CantileverModelRule rule;
    structure = rule.apply(envelopeModel);
    if (!structure)
        return true;
    beamModel = std::make_shared<ExtractedModel>(rule.getBeams());
    // Drawn beside the volume rather than inside the boxes it came from.
    beamModel->translate(Util::Vector4D(
        double(volume->getCellSizeX()) * (double(volume->getSizeX()) + 10.0), 0, 0, 0));
    DocumentEdits::add(context, beamModel);
    context.notifyUpdateObservers();
    return true;
}

QString RunModelExtraction::stepThree() const {
    return structure ? structure->netlist() : QString();
}

bool RunModelExtraction::saveNetlist(const QString& text) {
    if (text.isEmpty()) {
        context.prompts.showMessage(IUserPrompts::Icon::Information,
                                    QStringLiteral("No model data"),
                                    QStringLiteral("No model data was extracted."));
        return false;
    }
    QString chosen = context.prompts.chooseSaveFileIn(QStringLiteral("Save netlist"),
                                                      Util::RecentFolder::get(), netlistFilter());
    if (chosen.isEmpty())
        return false;
    // The file dialog does not add the suffix of its filter.
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += QStringLiteral(".cir");
    Util::RecentFolder::remember(chosen);
    QString problem;
    if (!Model::ModelExtraction::NetlistFile::write(chosen, text, &problem)) {
        context.prompts.showMessage(IUserPrompts::Icon::Warning, QStringLiteral("File Error"),
                                    problem + QLatin1Char('.'));
        return false;
    }
    return true;
}

void RunModelExtraction::restoreView() {
    for (auto* model : {&preprocessingModel, &beamModel}) {
        if (*model)
            DocumentEdits::remove(context, *model);
        model->reset();
    }
    if (volume)
        volume->getPainter().setHidden(false);
    context.notifyUpdateObservers();
}

void RunModelExtraction::cancel() {
    if (stepCounter == DialogOpen) {
        stepCounter = Ended;
        if (destroyDialogObserver)
            destroyDialogObserver->update();
        restoreView();
    }
    stepCounter = Ended;
    context.consoleInput.reset();
    DocumentEdits::dropIfCurrent(context, *this);
}

void RunModelExtraction::end() {
    if (stepCounter != DialogOpen)
        return;
    stepCounter = Ended;
    // Ended from elsewhere than the dialog, the dialog must not stay behind.
    if (destroyDialogObserver)
        destroyDialogObserver->update();
    restoreView();
    message(QStringLiteral(": Model extracted."));
    context.consoleInput.reset();
    if (context.currentOperation.get() == this)
        context.host.finishCurrentOperation();
}

} // namespace Core::Operations
