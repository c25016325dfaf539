#pragma once

#include "Core/Operations/operation.h"
#include "Util/iobserver.h"

#include <QString>

#include <memory>

namespace Core::Operations {

class OperationContext;

// Asks for a document file and hands it to the document-opened observer, which opens it in
// a window of its own; the document of this window is never touched.
//
// The observer sits in one slot shared by every instance: each activation puts its own
// window's observer there, replacing the previous one.
class OpenDocumentOperation : public Operation {
public:
    explicit OpenDocumentOperation(OperationContext& context);

    void step() override;
    void cancel() override;
    void end() override;
    // Opens `fileName` as if it had been chosen in the dialog: the same window and messages.
    void openFile(const QString& fileName);

    static void setObserver(std::shared_ptr<Util::IObserver> value);
    static std::shared_ptr<Util::IObserver> getObserver();

    // The last document chosen for opening or read, and where the next open dialog starts
    // (the user's home directory until a document has been chosen).
    static QString getRememberedPath();
    static void rememberPath(const QString& path);
    static QString getStartLocation();

    static QString chooserCaption() { return QStringLiteral("Choose file"); }

private:
    OperationContext& context;
};

} // namespace Core::Operations
