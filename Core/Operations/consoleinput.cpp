#include "Core/Operations/consoleinput.h"

#include <locale>
#include <sstream>

namespace Core::Operations {

namespace {

// Reads "x, y, z": a number, skip past the next comma (at most 100 characters), and so on.
// Each component lands in the target as soon as it is read, so a half-typed vector leaves
// its first components behind.
bool readVector(const QString& line, Util::Vector4D& target) {
    std::istringstream in(line.toStdString());
    in.imbue(std::locale::classic());
    for (int component = 0; component < 3; ++component) {
        double value = 0.0;
        if (!(in >> value))
            return false;
        target[component] = value;
        if (component < 2)
            in.ignore(100, ',');
    }
    return true;
}

} // namespace

void ConsoleInput::writeMessage(const QString& message) {
    lastMessage = message;
    if (!message.isEmpty())
        Util::notifyAll(messageObservers);
}

void ConsoleInput::supersede(Operation& requester) {
    const OperationPtr previous = waitingOperation.lock();
    if (previous && previous.get() != &requester)
        previous->end();
}

void ConsoleInput::requestEnter(Operation& operation) {
    supersede(operation);
    waitingOperation = operation.weak_from_this();
    awaitingEnter = true;
}

void ConsoleInput::requestVector(Operation& operation, Util::Vector4D& target, bool& flag) {
    supersede(operation);
    flag = false;
    waitingOperation = operation.weak_from_this();
    vectorTarget = &target;
    enteredFlag = &flag;
    requestKind = Vector;
}

void ConsoleInput::requestText(Operation& operation, QString& target) {
    supersede(operation);
    waitingOperation = operation.weak_from_this();
    textTarget = &target;
    requestKind = Text;
}

void ConsoleInput::reset() {
    waitingOperation.reset();
    requestKind = None;
    // A stale Enter request would otherwise wake the next operation that asks for a vector.
    awaitingEnter = false;
    textTarget = nullptr;
    vectorTarget = nullptr;
    enteredFlag = nullptr;
}

void ConsoleInput::stepWaiting(const OperationPtr& operation) {
    // `operation` keeps the waiting operation alive through its own step.
    operation->step();
}

void ConsoleInput::processInput(const QString& line) {
    const OperationPtr operation = waitingOperation.lock();
    if (!operation) {
        waitingOperation.reset();
        return;
    }

    const bool emptyLine = line.isEmpty();
    if (!emptyLine && requestKind == Vector && vectorTarget) {
        if (!readVector(line, *vectorTarget)) {
            writeMessage(QStringLiteral("Invalid entry. Enter the x, y, z coordinates."));
            return;
        }
        waitingOperation.reset();
        requestKind = None;
        if (enteredFlag)
            *enteredFlag = true;
        stepWaiting(operation);
        return;
    }
    if (!emptyLine && requestKind == Text && textTarget) {
        *textTarget = line;
        waitingOperation.reset();
        requestKind = None;
        stepWaiting(operation);
        return;
    }
    if (awaitingEnter) {
        waitingOperation.reset();
        awaitingEnter = false;
        stepWaiting(operation);
    }
}

} // namespace Core::Operations
