#include "UI/Operations/photolithographydialog.h"

#include "Core/Operations/iuserprompts.h"
#include "Model/Materials/materialfactory.h"
#include "UI/Operations/layoutmaskdialog.h"
#include "UI/Operations/materialcombobox.h"
#include "Util/recentfolder.h"
#include "ui_photolithographydialog.h"

#include <QDir>

namespace Ui::Operations {

PhotolithographyDialog::PhotolithographyDialog(Core::Operations::IUserPrompts& prompts,
                                               QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::PhotolithographyBaseDialog>()), prompts(prompts) {
    qRegisterMetaType<Model::Automaton::PhotoMask>();
    form->setupUi(this);
    fillMaterialCombo(form->cbxFilm,
                      Model::Materials::MaterialFactory::getInstance()->getMaterials());
    top.edit = form->lieTopMask;
    top.loadFailure = QStringLiteral("Top Mask file not found!<br/>Please verify the filename is "
                                     "correct and you have the correct permissions.");
    top.changed = &PhotolithographyDialog::topMaskChanged;
    bottom.edit = form->lieBottomMask;
    bottom.loadFailure =
        QStringLiteral("Bottom mask not found error!<br/>Please verify if the "
                       "filename is correct and you have the correct permissions.");
    bottom.changed = &PhotolithographyDialog::bottomMaskChanged;
}

PhotolithographyDialog::~PhotolithographyDialog() = default;

QString PhotolithographyDialog::startingPath() {
    return Util::RecentFolder::get();
}

int PhotolithographyDialog::materialId() const {
    return selectedMaterialId(form->cbxFilm);
}

void PhotolithographyDialog::browse(Side& side) {
    const QString chosen =
        prompts.chooseOpenFileIn(QStringLiteral("Choose Mask File"), startingPath(),
                                 QStringLiteral("Image Files (*.png *.jpg *.bmp)"));
    if (chosen.isEmpty())
        return;
    side.edit->setText(chosen);
    Util::RecentFolder::remember(chosen);
}

void PhotolithographyDialog::apply(Side& side) {
    const QString path = side.edit->text();
    // The row shows the layout its mask came from; that file is no image to load again.
    if (side.layout && path == side.layout->file) {
        emit(this->*side.changed)(side.mask);
        return;
    }
    Model::Automaton::PhotoMask loaded;
    std::uint64_t otherPixels = 0;
    if (!Model::Automaton::PhotoMask::load(path, loaded, &otherPixels)) {
        prompts.showMessage(Core::Operations::IUserPrompts::Icon::Warning,
                            QStringLiteral("File Error"), side.loadFailure);
        return;
    }
    if (otherPixels > 0)
        prompts.showMessage(Core::Operations::IUserPrompts::Icon::Warning,
                            QStringLiteral("Mask Colours"),
                            QStringLiteral("%1 pixels of %2 are neither black, red nor white; "
                                           "they are taken as open.")
                                .arg(otherPixels)
                                .arg(QDir::toNativeSeparators(path)));
    side.mask = std::move(loaded);
    side.file = path;
    side.layout.reset();
    emit(this->*side.changed)(side.mask);
}

void PhotolithographyDialog::remove(Side& side) {
    side.mask = Model::Automaton::PhotoMask();
    side.file.clear();
    side.layout.reset();
    emit(this->*side.changed)(side.mask);
}

void PhotolithographyDialog::chooseLayout(Side& side) {
    LayoutMaskDialog dialog(prompts, columns, this);
    if (side.layout)
        dialog.setSource(*side.layout);
    if (dialog.exec() != QDialog::Accepted)
        return;
    side.layout = dialog.source();
    side.mask = dialog.mask();
    side.file = side.layout->file;
    side.edit->setText(side.layout->file);
    emit(this->*side.changed)(side.mask);
}

void PhotolithographyDialog::on_btnTopLayout_clicked() {
    chooseLayout(top);
}

void PhotolithographyDialog::on_btnBottomLayout_clicked() {
    chooseLayout(bottom);
}

void PhotolithographyDialog::on_tbtTopMask_clicked() {
    browse(top);
}

void PhotolithographyDialog::on_btnApplyTopMask_clicked() {
    apply(top);
}

void PhotolithographyDialog::on_btnRemoveTopMask_clicked() {
    remove(top);
}

void PhotolithographyDialog::on_tbtBottomMask_clicked() {
    browse(bottom);
}

void PhotolithographyDialog::on_btnApplyBottomMask_clicked() {
    apply(bottom);
}

void PhotolithographyDialog::on_btnRemoveBottomMask_clicked() {
    remove(bottom);
}

} // namespace Ui::Operations
