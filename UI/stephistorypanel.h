#pragma once

#include "Util/iobserver.h"

#include <QWidget>

#include <memory>

class QLabel;
class QListWidget;

namespace Ui {

class MainWindowPresenter;

// The steps applied to one cell volume, oldest first, each with the values it ran with: those
// on the undo stack as done, those Undo took back (the redo stack) as undone, so the list
// follows Undo and Redo. The volume is the selected one, or else the document's only one.
class StepHistoryPanel : public QWidget {
    Q_OBJECT
public:
    StepHistoryPanel(MainWindowPresenter& presenter, QWidget* parent = nullptr);
    ~StepHistoryPanel() override;

    // Reads the stacks again; the panel does so by itself whenever they or the document change.
    void refresh();
    // The lines shown, as the user reads them (tests).
    QStringList lines() const;

private:
    MainWindowPresenter& presenter;
    QLabel* heading;
    QListWidget* list;
    std::shared_ptr<Util::IObserver> watcher;
    bool pending = false;
};

} // namespace Ui
