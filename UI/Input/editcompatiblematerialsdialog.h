#pragma once

#include "Model/Process/process.h"

#include <QDialog>

#include <memory>
#include <vector>

namespace Ui {
class EditCompatibleMaterialsBaseDialog;
}

namespace Ui::Input {

// "Edit Compatible Materials": moves materials between a process's compatible list (right)
// and the remaining registered materials (left), on a copy of all processes that the caller
// applies and saves when the dialog is accepted.
class EditCompatibleMaterialsDialog : public QDialog {
    Q_OBJECT
public:
    explicit EditCompatibleMaterialsDialog(QWidget* parent = nullptr);
    ~EditCompatibleMaterialsDialog() override;

    // The dialog's copy of every process with the edits made so far.
    const std::vector<Model::Process::Process>& getProcesses() const { return processes; }
    // The process the lists show, or null before one is chosen.
    const Model::Process::Process* getCurrentProcess() const;

private slots:
    void on_cbxProcess_currentIndexChanged(int index);
    void on_btnInsert_clicked();
    void on_btnRemove_clicked();

private:
    void refresh();

    std::unique_ptr<Ui::EditCompatibleMaterialsBaseDialog> form;
    std::vector<Model::Process::Process> processes;
    // Index into `processes`; -1 while no process is current.
    int current = -1;
};

} // namespace Ui::Input
