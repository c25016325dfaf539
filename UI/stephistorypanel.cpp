#include "UI/stephistorypanel.h"

#include "Model/Automaton/totalvolume.h"
#include "UI/mainwindowpresenter.h"
#include "UI/panelsupport.h"

#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace Ui {

namespace {

void removeFrom(Util::ObserverList& list, const std::shared_ptr<Util::IObserver>& observer) {
    list.erase(std::remove(list.begin(), list.end(), observer), list.end());
}

} // namespace

StepHistoryPanel::StepHistoryPanel(MainWindowPresenter& presenter, QWidget* parent)
    : QWidget(parent), presenter(presenter), heading(new QLabel(this)),
      list(new QListWidget(this)) {
    heading->setObjectName(QStringLiteral("lblStepHistory"));
    heading->setWordWrap(true);
    list->setObjectName(QStringLiteral("lstSteps"));
    list->setWordWrap(true);
    list->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(heading);
    layout->addWidget(list);

    // Many notifications come in a burst (a step, then its undo entry); one reading will do.
    watcher = std::make_shared<PanelWatcher>([this] {
        if (pending)
            return;
        pending = true;
        QTimer::singleShot(0, this, [this] { refresh(); });
    });
    presenter.getUpdateObservers().push_back(watcher);
    presenter.getUndoRedoStack().getUndoObservers().push_back(watcher);
    presenter.getUndoRedoStack().getRedoObservers().push_back(watcher);
    refresh();
}

StepHistoryPanel::~StepHistoryPanel() {
    removeFrom(presenter.getUpdateObservers(), watcher);
    removeFrom(presenter.getUndoRedoStack().getUndoObservers(), watcher);
    removeFrom(presenter.getUndoRedoStack().getRedoObservers(), watcher);
}

void StepHistoryPanel::refresh() {
    pending = false;
    list->clear();
    const auto volume = volumeInView(presenter);
    if (!volume) {
        heading->setText(QStringLiteral("Select a cell volume to see its steps."));
        return;
    }
    heading->setText(QStringLiteral("Steps of cell volume %1").arg(volume->getId()));
    const auto& stacks = presenter.getUndoRedoStack();
    int number = 0;
    const auto add = [&](const Core::Operations::ObjectOperationPtr& step, bool undone) {
        if (!step || step->subject() != volume.get())
            return;
        QString text = QStringLiteral("%1. %2").arg(++number).arg(presenter.stepName(*step));
        if (!step->getParameterText().isEmpty())
            text += QStringLiteral(": ") + step->getParameterText();
        if (undone)
            text += QStringLiteral(" (undone)");
        auto* item = new QListWidgetItem(text, list);
        if (undone)
            item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
    };
    for (const auto& step : stacks.getUndoStack())
        add(step, false);
    // The redo stack holds the most recently undone step at its back: it comes first again.
    const auto& redo = stacks.getRedoStack();
    for (auto step = redo.rbegin(); step != redo.rend(); ++step)
        add(*step, true);
    if (number == 0)
        new QListWidgetItem(QStringLiteral("No steps yet."), list);
}

QStringList StepHistoryPanel::lines() const {
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}

} // namespace Ui
