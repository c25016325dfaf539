#include "Core/Operations/WholeVolume/extractfilm.h"

#include "Core/Operations/WholeVolume/filmextraction.h"
#include "Core/Operations/Objects/documentedits.h"
#include "Model/Automaton/volumebudget.h"
#include "Model/Materials/materialfactory.h"

#include <algorithm>
#include <new>

namespace Core::Operations {

namespace {

QString filmName(unsigned id) {
    const auto material = Model::Materials::MaterialFactory::getInstance()->getMaterial(id);
    return material.getId() == id ? material.getName() : QStringLiteral("material %1").arg(id);
}

} // namespace

ExtractFilm::ExtractFilm(OperationContext& context)
    : ObjectOperation(QStringLiteral("Extract Film"), 8), context(context) {}

void ExtractFilm::message(const QString& text) const {
    context.consoleInput.writeMessage(name + QStringLiteral(": ") + text);
}

void ExtractFilm::setSource(std::shared_ptr<Model::Automaton::TotalVolume> volume) {
    source = std::move(volume);
    counter = source ? WaitingForDialog : WaitingForVolume;
}

void ExtractFilm::step() {
    if (counter != WaitingForVolume)
        return;
    source = DocumentEdits::takeSelectedVolume(
        context, *this, name + QStringLiteral(": select a cell volume and press Enter/Return."),
        name + QStringLiteral(": cell volume selected."));
    if (!source)
        return;
    counter = WaitingForDialog;
    DocumentEdits::openDialog(*this, observer);
}

void ExtractFilm::cancel() {
    close(QString(), false);
}

void ExtractFilm::close(const QString& reason, bool withBox) {
    if (counter == Closed)
        return;
    counter = Closed;
    if (!reason.isEmpty()) {
        message(reason);
        if (withBox)
            context.prompts.showMessage(IUserPrompts::Icon::Warning, name, reason);
    }
    context.consoleInput.reset();
    DocumentEdits::dropIfCurrent(context, *this);
}

void ExtractFilm::end() {
    if (counter != WaitingForDialog || !source) {
        cancel();
        return;
    }
    std::vector<int> cells;
    QString reason;
    bool withBox = false;
    if (!extract(cells, reason, withBox)) {
        close(reason, withBox);
        return;
    }
    counter = Closed;
    const float largestCell =
        std::max({source->getCellSizeX(), source->getCellSizeY(), source->getCellSizeZ()});
    result->translate(
        Util::Vector3D((double(source->getSizeX()) + 10.0) * double(largestCell), 0.0, 0.0));
    result->getPainter().rebuild();
    DocumentEdits::add(context, result);
    context.notifyUpdateObservers();
    message(QStringLiteral("film extracted."));
    context.consoleInput.reset();
    context.host.finishCurrentOperation();
}

bool ExtractFilm::extract(std::vector<int>& cells, QString& reason, bool& withBox) {
    if (filmMaterial <= 0) {
        reason = QStringLiteral("No film material was chosen; nothing was extracted.");
        return false;
    }
    withBox = true;
    if (!Model::Automaton::VolumeBudget::fits(source->getSizeX(), source->getSizeY(),
                                              source->getSizeZ(), &reason))
        return false;
    try {
        cells.assign(source->getCellCount(), 0);
        if (!FilmExtraction(*source, unsigned(filmMaterial), invert).run(cells)) {
            withBox = false;
            reason = QStringLiteral("The cell volume holds no %1; nothing was extracted.")
                         .arg(filmName(unsigned(filmMaterial)));
            return false;
        }
        result = std::make_shared<Model::Automaton::TotalVolume>(
            source->getSizeX(), source->getSizeY(), source->getSizeZ(), source->getCellSizeX(),
            source->getCellSizeY(), source->getCellSizeZ(), source->getPosition(), cells);
        result->setMicrometresPerSceneUnit(source->getMicrometresPerSceneUnit());
        result->setCrystalOrientation(source->getCrystalOrientation());
        return true;
    } catch (const std::bad_alloc&) {
        result.reset();
        reason = QStringLiteral("There is not enough memory to extract the film.");
        return false;
    }
}

int ExtractFilm::undo() {
    if (!result)
        return 0;
    DocumentEdits::remove(context, result);
    context.notifyUpdateObservers();
    return 1;
}

bool ExtractFilm::redo() {
    if (!result)
        return false;
    DocumentEdits::add(context, result);
    context.notifyUpdateObservers();
    return true;
}

} // namespace Core::Operations
