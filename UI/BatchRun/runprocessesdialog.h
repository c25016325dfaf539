#pragma once

#include "Core/ProcessList/processdata.h"

#include <QDialog>
#include <QList>
#include <QStringList>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QTimer;

namespace Model::Automaton {
class TotalVolume;
}

namespace Ui {

class MainWindow;
class MainWindowPresenter;
class RunProcessesBaseDialog;

// "Batch Run": the user composes a list of steps, each with the values of its own options
// dialog, stores and reloads such lists, and runs the list on one cell volume. The list runs
// on a worker thread of its own through the executor of process records, step by step, while a
// timer on the user-interface thread moves the progress bar; the window keeps repainting
// meanwhile.
class RunProcessesDialog : public QDialog {
    Q_OBJECT
public:
    // `volume` is the volume the steps act on; empty when the list must create one. The main
    // window shows the runs and saves the pictures of "Save Image" steps.
    RunProcessesDialog(MainWindow* mainWindow, MainWindowPresenter* presenter,
                       std::shared_ptr<Model::Automaton::TotalVolume> volume);
    ~RunProcessesDialog() override;

    const QList<ProcessData>& getProcessList() const { return processList; }
    void setProcessList(const QList<ProcessData>& list);
    std::shared_ptr<Model::Automaton::TotalVolume> getVolume() const;
    // From Run until the progress timer has shown the end of the run.
    bool isRunning() const;
    // Called on the user-interface thread just before every run of a list that may change
    // cells.
    // The hook answers whether the run may go ahead.
    void setBeforeRun(std::function<bool()> hook) { beforeRun = std::move(hook); }

public slots:
    // From the photolithography dialog of a step being added: shows its masks on the volume.
    void previewBottomMask(const std::vector<bool>& bits, unsigned width, unsigned height);
    void previewTopMask(const std::vector<bool>& bits, unsigned width, unsigned height);

private slots:
    void on_btnAddProcess_clicked();
    void on_btnClose_clicked();
    void on_btnRun_clicked();
    void on_btnRemoveProcess_clicked();
    void on_btnMoveUp_clicked();
    void on_btnMoveDown_clicked();
    void on_btnSaveList_clicked();
    void on_btnLoadList_clicked();
    void selectionChanged();
    void updateProgress();
    // A "Save Image" step, on this thread while the worker waits: rebuild the volume's
    // surface, repaint the view and, for a non-empty name, save its picture. Whether it was
    // not, and why, goes to imageProblem.
    void updateGeometry(const QString& fileName);

protected:
    // Escape and the window frame close the dialog only when no run is in progress, as Close
    // does: the run reports to this dialog.
    void reject() override;

private:
    // False while a run is in progress, or when the user keeps a changed list that was not
    // saved (or saving it failed).
    bool mayClose();
    bool saveList();

private:
    bool tryTakeBusy();
    void releaseBusy() { busy.store(false); }
    void refreshTree();
    // The record of the first selected step row, as an index into the list; -1 for none.
    int selectedStep() const;
    void moveSelected(int offset);
    void runList(QList<ProcessData> list);
    void setVolume(std::shared_ptr<Model::Automaton::TotalVolume> value);
    void repaintView();

    std::unique_ptr<Ui::RunProcessesBaseDialog> form;
    MainWindow* mainWindow;
    MainWindowPresenter* presenter;
    mutable std::mutex volumeLock;
    std::shared_ptr<Model::Automaton::TotalVolume> volume;
    std::atomic<bool> busy{false};
    QTimer* progressTimer;
    QList<ProcessData> processList;
    std::atomic<int> completed{0};
    // The answer of updateGeometry to the waiting worker. Qt's blocking call hands it over
    // through a wait the thread sanitizer cannot see; an atomic it can.
    // Written before the waiting worker reads it (the call blocks it).
    QString imageProblem;
    // What did not run in the last run, for the report at its end.
    std::mutex problemsLock;
    QStringList problems;
    // What the "Measure" steps of the last run measured, by record id: the name of each value
    // and its text ("12 µm", or why there is none). Shown under the step in the tree and
    // printed to the console when the run ends.
    std::map<int, std::vector<std::pair<QString, QString>>> measured;
    // A plain thread rather than a pool task: its start and join order the run against this
    // thread in a way the thread sanitizer sees, where a pool task's queue is Qt's own.
    std::thread worker;
    std::function<bool()> beforeRun;
    // Whether the list was composed or edited since it was last loaded or saved.
    bool listChanged = false;
};

} // namespace Ui
