#pragma once

#include <QDialog>

#include <memory>

namespace Ui {

class MeasureStepDialogForm;

// The dialog of a "Measure" step: what to measure, in the measurement vocabulary (shown in the
// dialog), and the name its results are reported under. OK is taken only for a measurement the
// vocabulary can read; otherwise the dialog stays open and says what is wrong.
class MeasureStepDialog : public QDialog {
    Q_OBJECT
public:
    explicit MeasureStepDialog(QWidget* parent = nullptr);
    ~MeasureStepDialog() override;

    QString measurement() const;
    QString resultName() const;

public slots:
    void accept() override;

private:
    std::unique_ptr<MeasureStepDialogForm> form;
};

} // namespace Ui
