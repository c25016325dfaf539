#pragma once

#include "Util/iobserver.h"

#include <QObject>

namespace Ui::Observers {

class UndoRedoObserver : public QObject, public Util::IObserver {
    Q_OBJECT
public:
    using QObject::QObject;
    void update() override { emit stackChanged(); }

signals:
    void stackChanged();
};

} // namespace Ui::Observers
