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

    // "Cellvane", two spaces and the file name (marked when only part of it could be read),
    // with the place where the window shows that the document has unsaved changes.
    static QString titleFor(const QString& fileName, bool incomplete = false);
    // The title for `window`, numbered " (2)", " (3)", ... when another window of the program
    // already shows the same document, so that the two can be told apart.
    static QString distinctTitleFor(const QWidget* window, const QString& fileName,
                                    bool incomplete = false);

private:
    QPointer<QWidget> window;
    std::shared_ptr<Model::Document> document;
};

} // namespace Ui::Observers
