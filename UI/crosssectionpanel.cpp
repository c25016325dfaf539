#include "UI/crosssectionpanel.h"

#include "Model/Automaton/totalvolume.h"
#include "Model/Export/crosssection.h"
#include "Model/Export/crosssectionpicture.h"
#include "Model/Metrology/scale.h"
#include "UI/mainwindowpresenter.h"
#include "UI/panelsupport.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace Ui {

using Model::Export::CrossSection;
using Model::Export::SectionPlane;

namespace {

// Return in the position field finishes the edit there; the window's Return (which feeds the
// console) must not take it first.
class KeepReturn : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                event->accept();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

CrossSectionPanel::CrossSectionPanel(MainWindowPresenter& presenter, QWidget* parent)
    : QWidget(parent), presenter(presenter), axis(new QComboBox(this)),
      position(new QDoubleSpinBox(this)), pictureLabel(new QLabel(this)), status(new QLabel(this)) {
    axis->setObjectName(QStringLiteral("cbxSectionAxis"));
    for (const char* name : {"x", "y", "z"})
        axis->addItem(QString::fromLatin1(name));
    position->setObjectName(QStringLiteral("dbxSectionPosition"));
    position->setSuffix(QStringLiteral(" µm"));
    position->setDecimals(4);
    position->setKeyboardTracking(false);
    position->installEventFilter(new KeepReturn(position));
    pictureLabel->setObjectName(QStringLiteral("lblSectionPicture"));
    pictureLabel->setAlignment(Qt::AlignCenter);
    pictureLabel->setMinimumSize(120, 90);
    pictureLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    status->setObjectName(QStringLiteral("lblSectionStatus"));
    status->setWordWrap(true);

    auto* plane = new QHBoxLayout;
    plane->addWidget(new QLabel(QStringLiteral("Plane"), this));
    plane->addWidget(axis);
    plane->addWidget(new QLabel(QStringLiteral("="), this));
    plane->addWidget(position, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(plane);
    layout->addWidget(pictureLabel, 1);
    layout->addWidget(status);

    connect(axis, qOverload<int>(&QComboBox::activated), this, [this] { moveCutPlane(); });
    connect(position, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            [this] { moveCutPlane(); });

    watcher = std::make_shared<PanelWatcher>([this] {
        if (pending || !isVisible())
            return;
        pending = true;
        QTimer::singleShot(0, this, [this] { refresh(); });
    });
    presenter.getUpdateObservers().push_back(watcher);
}

CrossSectionPanel::~CrossSectionPanel() {
    auto& list = presenter.getUpdateObservers();
    list.erase(std::remove(list.begin(), list.end(), watcher), list.end());
}

void CrossSectionPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}

void CrossSectionPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    showPicture();
}

void CrossSectionPanel::refresh() {
    pending = false;
    const auto volume = volumeInView(presenter);
    if (!volume) {
        drawn = QImage();
        pictureLabel->clear();
        status->setText(QStringLiteral("Select a cell volume to see its cross-section."));
        axis->setEnabled(false);
        position->setEnabled(false);
        return;
    }
    axis->setEnabled(true);
    position->setEnabled(true);
    const SectionPlane plane = CrossSection::planeOfCut(*volume);
    {
        const QSignalBlocker quietAxis(axis);
        const QSignalBlocker quietPosition(position);
        axis->setCurrentIndex(int(plane.axis));
        const double edge = Model::Metrology::CellEdges::of(*volume).along(int(plane.axis));
        position->setRange(0.0, CrossSection::extent(*volume, plane.axis));
        position->setSingleStep(edge);
        position->setValue(plane.position);
    }
    QString problem;
    const auto section = CrossSection::take(*volume, plane, &problem);
    drawn = section ? Model::Export::CrossSectionPicture(*section, {}).image() : QImage();
    status->setText(section ? plane.text() : problem);
    showPicture();
}

void CrossSectionPanel::showPicture() {
    if (drawn.isNull()) {
        pictureLabel->clear();
        return;
    }
    pictureLabel->setPixmap(QPixmap::fromImage(
        drawn.scaled(pictureLabel->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void CrossSectionPanel::moveCutPlane() {
    const auto volume = volumeInView(presenter);
    if (!volume)
        return;
    const int normal = axis->currentIndex();
    const int size[] = {int(volume->getSizeX()), int(volume->getSizeY()), int(volume->getSizeZ())};
    const double edge = Model::Metrology::CellEdges::of(*volume).along(normal);
    if (size[normal] <= 0 || !(edge > 0.0))
        return;
    const int layer = std::clamp(int(std::floor(position->value() / edge)), 0, size[normal] - 1);
    // Everything from the layer on stays in view, so the layer is the face the view shows; the
    // first layer is shown alone, as the cut plane's rule reads it.
    Model::Automaton::TotalVolumePainter::Corner lower{0, 0, 0};
    Model::Automaton::TotalVolumePainter::Corner upper{size[0], size[1], size[2]};
    if (layer > 0)
        lower[std::size_t(normal)] = layer;
    else
        upper[std::size_t(normal)] = 1;
    volume->getPainter().setCutLimits(lower, upper);
    volume->getPainter().rebuild();
    presenter.getContext().notifyUpdateObservers();
    refresh();
}

} // namespace Ui
