#include "UI/operationmapper.h"

#include <QAction>

namespace Ui {

OperationMapper::OperationMapper(QObject* parent) : QObject(parent) {
    connect(&mapper, &QSignalMapper::mappedString, this, &OperationMapper::activated);
}

void OperationMapper::map(QAction* action, unsigned number) {
    map(action, QString::number(number));
}

void OperationMapper::map(QAction* action, const QString& text) {
    connect(action, &QAction::triggered, &mapper, qOverload<>(&QSignalMapper::map));
    mapper.setMapping(action, text);
}

} // namespace Ui
