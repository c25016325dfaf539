#include "UI/Operations/layoutmaskdialog.h"

#include "Core/Operations/iuserprompts.h"
#include "UI/longsteprunner.h"
#include "ui_layoutmaskdialog.h"

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QPushButton>

namespace Ui::Operations {

using Model::Layout::LayoutMask;
using Model::Layout::LayoutMaskSource;

namespace {
QString& sharedStartingPath() {
    static QString path = QDir::homePath();
    return path;
}
} // namespace

LayoutMaskDialog::LayoutMaskDialog(Core::Operations::IUserPrompts& prompts,
                                   std::optional<Model::Layout::ColumnGrid> grid, QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::LayoutMaskBaseDialog>()), prompts(prompts),
      grid(grid) {
    form->setupUi(this);
    for (int degrees : {0, 90, 180, 270})
        form->cbxRotation->addItem(QStringLiteral("%1\u00b0").arg(degrees), degrees);
    form->cbxPolarity->addItem(QStringLiteral("Drawn shapes protect the resist"), false);
    form->cbxPolarity->addItem(QStringLiteral("Drawn shapes are openings"), true);
    connect(form->lieFile, &QLineEdit::editingFinished, this, &LayoutMaskDialog::readFile);
    connect(form->cbxCell, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &LayoutMaskDialog::cellChosen);
    for (QComboBox* box : {form->cbxLayer, form->cbxRotation, form->cbxPolarity})
        connect(box, qOverload<int>(&QComboBox::currentIndexChanged), this,
                &LayoutMaskDialog::update);
    for (QDoubleSpinBox* box : {form->dbxOffsetX, form->dbxOffsetY})
        connect(box, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
                &LayoutMaskDialog::update);
    connect(form->chkMirror, &QCheckBox::toggled, this, &LayoutMaskDialog::update);
    update();
}

LayoutMaskDialog::~LayoutMaskDialog() = default;

void LayoutMaskDialog::setSource(const LayoutMaskSource& source) {
    filling = true;
    form->lieFile->setText(source.file);
    form->dbxOffsetX->setValue(source.offsetX);
    form->dbxOffsetY->setValue(source.offsetY);
    form->cbxRotation->setCurrentIndex(std::max(0, form->cbxRotation->findData(source.rotation)));
    form->chkMirror->setChecked(source.mirrored);
    form->cbxPolarity->setCurrentIndex(source.inverted ? 1 : 0);
    filling = false;
    readFile();
    if (!source.cell.isEmpty())
        form->cbxCell->setCurrentIndex(std::max(0, form->cbxCell->findText(source.cell)));
    form->cbxLayer->setCurrentIndex(
        std::max(0, form->cbxLayer->findData(QPoint(source.layer, source.datatype))));
}

LayoutMaskSource LayoutMaskDialog::source() const {
    LayoutMaskSource source;
    source.file = libraryFile;
    source.cell = form->cbxCell->currentText();
    const QPoint layer = form->cbxLayer->currentData().toPoint();
    source.layer = layer.x();
    source.datatype = layer.y();
    source.offsetX = form->dbxOffsetX->value();
    source.offsetY = form->dbxOffsetY->value();
    source.rotation = form->cbxRotation->currentData().toInt();
    source.mirrored = form->chkMirror->isChecked();
    source.inverted = form->cbxPolarity->currentData().toBool();
    return source;
}

void LayoutMaskDialog::on_tbtFile_clicked() {
    const QString chosen =
        prompts.chooseOpenFileIn(QStringLiteral("Choose Layout File"), sharedStartingPath(),
                                 QStringLiteral("Layout Files (*.gds *.gdsii *.gds2)"));
    if (chosen.isEmpty())
        return;
    sharedStartingPath() = chosen;
    form->lieFile->setText(chosen);
    readFile();
}

void LayoutMaskDialog::readFile() {
    const QString path = form->lieFile->text().trimmed();
    if (filling || path.isEmpty() || path == libraryFile)
        return;
    Model::Layout::LayoutLibrary read;
    QString problem;
    bool readWhole = false;
    bool cancelled = false;
    // A large layout takes seconds to read: the window repaints, shows how long it has taken
    // and can cancel the reading.
    LongStepRunner(this).run(
        QStringLiteral("Reading the layout"),
        [&](Util::ProgressReporter& progress) {
            readWhole = Model::Layout::LayoutLibrary::read(
                path, read, problem, Model::Layout::LayoutLibrary::defaultLimits, progress);
            cancelled = progress.wasCancelled();
        },
        true);
    if (cancelled)
        return;
    if (!readWhole) {
        prompts.showMessage(Core::Operations::IUserPrompts::Icon::Warning,
                            QStringLiteral("File Error"),
                            QStringLiteral("The layout %1 cannot be used: %2.")
                                .arg(QDir::toNativeSeparators(path), problem));
        return;
    }
    library = std::move(read);
    libraryFile = path;
    filling = true;
    form->cbxCell->clear();
    // Top cells first: they are what a mask is normally made of.
    const std::vector<int> tops = library.topCells();
    for (int cell : tops)
        form->cbxCell->addItem(QString::fromStdString(library.cells()[std::size_t(cell)].name),
                               cell);
    for (std::size_t cell = 0; cell < library.cells().size(); ++cell)
        if (std::find(tops.begin(), tops.end(), int(cell)) == tops.end())
            form->cbxCell->addItem(QString::fromStdString(library.cells()[cell].name), int(cell));
    filling = false;
    cellChosen();
}

void LayoutMaskDialog::cellChosen() {
    if (filling)
        return;
    fillLayers();
    update();
}

void LayoutMaskDialog::fillLayers() {
    const QPoint previous = form->cbxLayer->currentData().toPoint();
    filling = true;
    form->cbxLayer->clear();
    const int cell =
        form->cbxCell->currentData().isValid() ? form->cbxCell->currentData().toInt() : -1;
    for (const auto& [layer, datatype] : library.layersUnder(cell))
        form->cbxLayer->addItem(QStringLiteral("%1/%2").arg(layer).arg(datatype),
                                QPoint(layer, datatype));
    form->cbxLayer->setCurrentIndex(std::max(0, form->cbxLayer->findData(previous)));
    filling = false;
}

void LayoutMaskDialog::update() {
    if (filling)
        return;
    QPushButton* ok = form->buttonBox->button(QDialogButtonBox::Ok);
    preview = {};
    if (libraryFile.isEmpty() || form->cbxLayer->count() == 0) {
        form->lblSummary->setText(libraryFile.isEmpty()
                                      ? QStringLiteral("Choose a layout file.")
                                      : QStringLiteral("Nothing is drawn in this cell."));
        ok->setEnabled(false);
        showPreview();
        return;
    }
    if (!grid) {
        form->lblSummary->setText(
            QStringLiteral("The mask is made on the columns of the volume when the step runs."));
        ok->setEnabled(true);
        showPreview();
        return;
    }
    QString problem;
    if (!LayoutMask::rasterise(library, source(), *grid, preview, problem)) {
        form->lblSummary->setText(QStringLiteral("No mask: %1.").arg(problem));
        ok->setEnabled(false);
    } else {
        const auto opaque = std::count(preview.bits.begin(), preview.bits.end(), true);
        form->lblSummary->setText(QStringLiteral("%1 of %2 \u00d7 %3 columns opaque.")
                                      .arg(opaque)
                                      .arg(preview.width)
                                      .arg(preview.height));
        ok->setEnabled(true);
    }
    showPreview();
}

void LayoutMaskDialog::showPreview() {
    if (preview.width == 0 || preview.height == 0) {
        form->lblPreview->setPixmap(QPixmap());
        return;
    }
    // Rows from the top of the picture, columns of the volume from its bottom.
    QImage image(int(preview.width), int(preview.height), QImage::Format_RGB32);
    for (unsigned x = 0; x < preview.width; ++x)
        for (unsigned y = 0; y < preview.height; ++y)
            image.setPixel(int(x), int(preview.height - 1 - y),
                           preview.bits[std::size_t(x) * preview.height + y] ? qRgb(20, 20, 20)
                                                                             : qRgb(245, 245, 235));
    form->lblPreview->setPixmap(QPixmap::fromImage(image.scaled(
        form->lblPreview->minimumSize(), Qt::KeepAspectRatio, Qt::FastTransformation)));
}

} // namespace Ui::Operations
