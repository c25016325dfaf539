#pragma once

#include "Util/iobserver.h"

#include <QImage>
#include <QWidget>

#include <memory>

class QComboBox;
class QDoubleSpinBox;
class QLabel;

namespace Ui {

class MainWindowPresenter;

// The cross-section of the current cut plane, the picture File → Save Cross-Section writes,
// kept in step with the document: it follows the cut plane as Cut Cell Volume moves it, and
// its axis and position move the cut plane of the 3D view in turn. It shows the selected cell
// volume, or else the document's only one.
class CrossSectionPanel : public QWidget {
    Q_OBJECT
public:
    CrossSectionPanel(MainWindowPresenter& presenter, QWidget* parent = nullptr);
    ~CrossSectionPanel() override;

    // Draws the section again; the panel does so by itself after every change of the document
    // while it is shown.
    void refresh();
    // The picture drawn last, at full size; null when there is no volume to cut.
    const QImage& picture() const { return drawn; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Cuts the volume's view at the panel's axis and position, as Cut Cell Volume would.
    void moveCutPlane();
    void showPicture();

    MainWindowPresenter& presenter;
    QComboBox* axis;
    QDoubleSpinBox* position;
    QLabel* pictureLabel;
    QLabel* status;
    QImage drawn;
    std::shared_ptr<Util::IObserver> watcher;
    bool pending = false;
};

} // namespace Ui
