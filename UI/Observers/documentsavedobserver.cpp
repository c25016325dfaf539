#include "UI/Observers/documentsavedobserver.h"

#include "Model/document.h"

namespace Ui::Observers {

DocumentSavedObserver::DocumentSavedObserver(QWidget* window,
                                             std::shared_ptr<Model::Document> document)
    : window(window), document(std::move(document)) {}

void DocumentSavedObserver::update() {
    if (window && document) {
        window->setWindowTitle(titleFor(document->getFileName()));
        window->setWindowModified(document->isModified());
    }
}

QString DocumentSavedObserver::titleFor(const QString& fileName, bool incomplete) {
    return QStringLiteral("Cellvane  ") + fileName +
           (incomplete ? QStringLiteral(" (incomplete)") : QString()) + QStringLiteral("[*]");
}

} // namespace Ui::Observers
