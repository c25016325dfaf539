#pragma once

#include "Model/Automaton/photomask.h"
#include "Model/Layout/layoutmask.h"
#include "Model/Materials/material.h"

#include <QDialog>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QLineEdit;

namespace Core::Operations {
class IUserPrompts;
}

namespace Ui {
class PhotolithographyBaseDialog;
}

namespace Ui::Operations {

// The resist film and the top and bottom mask images of a development. It knows nothing of
// who uses the masks: every mask applied or removed is announced through topMaskChanged and
// bottomMaskChanged, which the interactive operation and a batch step each connect to their
// own preview.
class PhotolithographyDialog : public QDialog {
    Q_OBJECT
public:
    // File choices and warnings go through `prompts`.
    explicit PhotolithographyDialog(Core::Operations::IUserPrompts& prompts,
                                    QWidget* parent = nullptr);
    ~PhotolithographyDialog() override;

    int materialId() const;
    const Model::Automaton::PhotoMask& topMask() const { return top.mask; }
    const Model::Automaton::PhotoMask& bottomMask() const { return bottom.mask; }
    // The file last applied on each side; empty when none is or it was removed.
    const QString& topMaskFile() const { return top.file; }
    const QString& bottomMaskFile() const { return bottom.file; }

    // The columns of the volume the masks are for; "Layout..." rasterises onto them. Without
    // them a layout is only described, and made into a mask when the step runs.
    void setColumnGrid(const std::optional<Model::Layout::ColumnGrid>& grid) { columns = grid; }
    // The layout each side's mask was made from, when it was.
    const std::optional<Model::Layout::LayoutMaskSource>& topLayout() const { return top.layout; }
    const std::optional<Model::Layout::LayoutMaskSource>& bottomLayout() const {
        return bottom.layout;
    }

    // Where both browse buttons of every photolithography dialog start: the user's home
    // folder at first, then the last mask file chosen.
    static QString startingPath();

signals:
    void topMaskChanged(const Model::Automaton::PhotoMask& mask);
    void bottomMaskChanged(const Model::Automaton::PhotoMask& mask);

private slots:
    void on_tbtTopMask_clicked();
    void on_btnApplyTopMask_clicked();
    void on_btnRemoveTopMask_clicked();
    void on_tbtBottomMask_clicked();
    void on_btnApplyBottomMask_clicked();
    void on_btnRemoveBottomMask_clicked();
    void on_btnTopLayout_clicked();
    void on_btnBottomLayout_clicked();

private:
    struct Side {
        Model::Automaton::PhotoMask mask;
        QString file;
        std::optional<Model::Layout::LayoutMaskSource> layout;
        QLineEdit* edit = nullptr;
        QString loadFailure;
        void (PhotolithographyDialog::*changed)(const Model::Automaton::PhotoMask&) = nullptr;
    };

    void browse(Side& side);
    void apply(Side& side);
    void remove(Side& side);
    void chooseLayout(Side& side);

    std::unique_ptr<Ui::PhotolithographyBaseDialog> form;
    Core::Operations::IUserPrompts& prompts;
    std::optional<Model::Layout::ColumnGrid> columns;
    Side top;
    Side bottom;
};

} // namespace Ui::Operations
