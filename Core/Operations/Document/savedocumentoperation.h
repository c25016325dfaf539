#pragma once

#include "Core/Operations/operation.h"
#include "Util/iobserver.h"

#include <QString>

#include <memory>

namespace Core::Operations {

class OperationContext;

// Saves the document under its own name, asking for one when it has none yet.
class SaveDocumentOperation : public Operation {
public:
    explicit SaveDocumentOperation(OperationContext& context);

    void step() override;
    void cancel() override;
    void end() override;

    void setObserver(std::shared_ptr<Util::IObserver> value) { observer = std::move(value); }
    QString getFileName() const { return fileName; }
    void setFileName(const QString& value) { fileName = value; }

    static QString chooserCaption() { return QStringLiteral("Choose location"); }

protected:
    SaveDocumentOperation(OperationContext& context, const QString& name, int id);

    // Asks for a file in the user's home directory; empty when the user cancelled.
    QString askForFileName() const;
    // Writes the document and notifies the observer.
    void save();

    OperationContext& context;
    QString fileName;
    std::shared_ptr<Util::IObserver> observer;
};

} // namespace Core::Operations
