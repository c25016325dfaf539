#pragma once

#include <QObject>
#include <QSignalMapper>

class QAction;

namespace Ui {

// Turns menu actions into texts: operation numbers for the presenter, view names for the view.
class OperationMapper : public QObject {
    Q_OBJECT
public:
    explicit OperationMapper(QObject* parent = nullptr);

    void map(QAction* action, unsigned number);
    void map(QAction* action, const QString& text);

signals:
    void activated(const QString& operationId);

private:
    QSignalMapper mapper;
};

} // namespace Ui
