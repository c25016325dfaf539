#pragma once

#include "Util/iobserver.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

namespace Model {
class Document;
}

namespace Ui::Observers {

// Puts the document's file name into its window's title once it has been saved.
class DocumentSavedObserver : public Util::IObserver {
public:
    DocumentSavedObserver(QWidget* window, std::shared_ptr<Model::Document> document);
    void update() override;

    // "Cellvane", two spaces and the file name.
    static QString titleFor(const QString& fileName);

private:
    QPointer<QWidget> window;
    std::shared_ptr<Model::Document> document;
};

} // namespace Ui::Observers
