#pragma once

#include <QString>

#include <memory>

namespace Core::Operations {

// A user action, created by number and driven by the presenter: step() on activation and on
// every input it asked for, end() to apply, cancel() to abandon.
//
// Operations are always owned by shared pointers; the console and the view hold weak
// references to the one that waits for input.
class Operation : public std::enable_shared_from_this<Operation> {
public:
    Operation(const QString& name, int id) : name(name), id(id) {}
    virtual ~Operation() = default;

    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    virtual void step() = 0;
    virtual void cancel() = 0;
    virtual void end() = 0;

    const QString& getName() const { return name; }
    int getId() const { return id; }

protected:
    QString name;
    int id;
};

using OperationPtr = std::shared_ptr<Operation>;

} // namespace Core::Operations
