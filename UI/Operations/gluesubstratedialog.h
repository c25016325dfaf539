#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class GlueSubstrateForm;
}

namespace Ui::Operations {

// "Glue Substrate": the size of the glued volume, where the top substrate sits on the base
// and whether it is turned over.
class GlueSubstrateDialog : public QDialog {
    Q_OBJECT
public:
    explicit GlueSubstrateDialog(QWidget* parent = nullptr);
    ~GlueSubstrateDialog() override;

    // The smallest size that holds the stack. X and Y are fixed at it (their boxes are
    // disabled); Z may grow to leave room for later films.
    void setMinimumFinalSize(int x, int y, int z);
    void setFinalSize(int x, int y, int z);
    // How far the top may be moved without leaving the base's footprint.
    void setMaximumDisplacement(int x, int y);

    int finalX() const;
    int finalY() const;
    int finalZ() const;
    int displacementX() const;
    int displacementY() const;
    bool invert() const;

private:
    std::unique_ptr<Ui::GlueSubstrateForm> form;
};

} // namespace Ui::Operations
