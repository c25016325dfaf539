#pragma once

#include "Core/Operations/Undo/recoveryjournal.h"

#include <QString>

#include <functional>
#include <vector>

namespace Ui {

class MainWindow;

// At start-up: the work of every program that died with unsaved changes is offered back, one
// question per session. Recover opens it in a window of its own, marked modified and under the
// file name it had; Discard removes it; closing the question keeps it for the next start. A
// journal that cannot be read whole is reported and put aside, never half-loaded.
class RecoveryOffer {
public:
    enum class Answer { Recover, Discard, Later };
    using Asker = std::function<Answer(const QString& question)>;
    using Teller = std::function<void(const QString& message)>;

    // Without an asker or a teller, message boxes ask and tell. Gives the windows opened, shown.
    static std::vector<MainWindow*> run(Asker ask = {}, Teller tell = {});

    static QString question(const Core::Operations::RecoveryJournal::Summary& summary);
    static QString title() { return QStringLiteral("Recover unsaved work"); }
};

} // namespace Ui
