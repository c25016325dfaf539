#pragma once

#include "Core/Operations/consoleinput.h"
#include "Util/iobserver.h"

#include <QObject>

namespace Ui::Console {

// Carries each message an operation writes to the console window.
class ConsoleObserver : public QObject, public Util::IObserver {
    Q_OBJECT
public:
    explicit ConsoleObserver(Core::Operations::ConsoleInput& input) : input(input) {}

    void update() override {
        const QString message = input.getLastMessage();
        if (!message.isEmpty())
            emit messageWritten(message);
    }

signals:
    void messageWritten(QString message);

private:
    Core::Operations::ConsoleInput& input;
};

} // namespace Ui::Console
