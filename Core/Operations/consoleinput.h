#pragma once

#include "Core/Operations/operation.h"
#include "Util/iobserver.h"
#include "Util/vector4d.h"

#include <QString>

#include <memory>

namespace Core::Operations {

// Which operation waits for console input and what it expects; also the channel through
// which every operation writes its messages.
class ConsoleInput {
public:
    enum RequestKind { Vector = 2, Text = 3, None = 5 };

    void writeMessage(const QString& message);
    QString getLastMessage() const { return lastMessage; }
    Util::ObserverList& getMessageObservers() { return messageObservers; }

    void requestEnter(Operation& operation);
    void requestVector(Operation& operation, Util::Vector4D& target, bool& enteredFlag);
    void requestText(Operation& operation, QString& target);
    void reset();

    void processInput(const QString& line);

    int getRequestKind() const { return requestKind; }
    bool isAwaitingEnter() const { return awaitingEnter; }
    OperationPtr getWaitingOperation() const { return waitingOperation.lock(); }

private:
    // Ends a different operation that still waits, as a new request supersedes it.
    void supersede(Operation& requester);
    void stepWaiting(const OperationPtr& operation);

    std::weak_ptr<Operation> waitingOperation;
    QString* textTarget = nullptr;
    Util::Vector4D* vectorTarget = nullptr;
    int requestKind = None;
    bool* enteredFlag = nullptr;
    bool awaitingEnter = false;
    QString lastMessage;
    Util::ObserverList messageObservers;
};

} // namespace Core::Operations
