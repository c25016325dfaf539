#pragma once

#include "Util/iobserver.h"

#include <QObject>

namespace Ui::Observers {

// Tells the 3D view to redraw after anything changed what it shows.
class UpdateObserver : public QObject, public Util::IObserver {
    Q_OBJECT
public:
    using QObject::QObject;
    void update() override { emit updateGL(); }

signals:
    void updateGL();
};

} // namespace Ui::Observers
