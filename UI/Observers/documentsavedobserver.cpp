#include "UI/Observers/documentsavedobserver.h"

#include "Model/document.h"

#include <QApplication>
#include <QMainWindow>

namespace Ui::Observers {

DocumentSavedObserver::DocumentSavedObserver(QWidget* window,
                                             std::shared_ptr<Model::Document> document)
    : window(window), document(std::move(document)) {}

void DocumentSavedObserver::update() {
    if (window && document) {
        window->setWindowTitle(distinctTitleFor(window, document->getFileName()));
        window->setWindowModified(document->isModified());
    }
}

QString DocumentSavedObserver::titleFor(const QString& fileName, bool incomplete) {
    return QStringLiteral("Cellvane  ") + fileName +
           (incomplete ? QStringLiteral(" (incomplete)") : QString()) + QStringLiteral("[*]");
}

QString DocumentSavedObserver::distinctTitleFor(const QWidget* window, const QString& fileName,
                                                bool incomplete) {
    const QString plain = titleFor(fileName, incomplete);
    QStringList others;
    for (const QWidget* other : QApplication::topLevelWidgets())
        if (other != window && qobject_cast<const QMainWindow*>(other) && other->isVisible())
            others << other->windowTitle();
    if (!others.contains(plain))
        return plain;
    const QString base = plain.chopped(3); // without "[*]"
    for (int number = 2;; ++number) {
        const QString numbered = QStringLiteral("%1 (%2)[*]").arg(base).arg(number);
        if (!others.contains(numbered))
            return numbered;
    }
}

} // namespace Ui::Observers
