#pragma once

#include "Model/Automaton/photomask.h"
#include "Model/Layout/layoutmask.h"

#include <QDialog>

#include <memory>
#include <optional>

namespace Core::Operations {
class IUserPrompts;
}

namespace Ui {
class LayoutMaskBaseDialog;
}

namespace Ui::Operations {

// Chooses a mask from a layout: the file, its top cell, the layer and datatype, where the
// layout lies on the volume and which way round it works. With the volume's columns known the
// mask is rasterised as the fields change and shown as a preview; OK is offered only for a
// source that gives a mask.
class LayoutMaskDialog : public QDialog {
    Q_OBJECT
public:
    LayoutMaskDialog(Core::Operations::IUserPrompts& prompts,
                     std::optional<Model::Layout::ColumnGrid> grid, QWidget* parent = nullptr);
    ~LayoutMaskDialog() override;

    // Starts from an earlier choice.
    void setSource(const Model::Layout::LayoutMaskSource& source);

    Model::Layout::LayoutMaskSource source() const;
    // The mask on the volume's columns; empty when no columns were given.
    const Model::Automaton::PhotoMask& mask() const { return preview; }

private slots:
    void on_tbtFile_clicked();
    void readFile();
    void cellChosen();
    void update();

private:
    void fillLayers();
    void showPreview();

    std::unique_ptr<Ui::LayoutMaskBaseDialog> form;
    Core::Operations::IUserPrompts& prompts;
    std::optional<Model::Layout::ColumnGrid> grid;
    Model::Layout::LayoutLibrary library;
    QString libraryFile;
    Model::Automaton::PhotoMask preview;
    bool filling = false;
};

} // namespace Ui::Operations
