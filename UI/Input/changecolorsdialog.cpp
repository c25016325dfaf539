#include "UI/Input/changecolorsdialog.h"

#include "Util/colorscheme.h"
#include "ui_changecolorsdialog.h"

#include <QColorDialog>

namespace Ui::Input {

namespace {

using Util::ColorScheme;

// The dialog's swatches in scheme-table terms.
constexpr ColorScheme::Entry entries[] = {ColorScheme::BackgroundColor, ColorScheme::GridColor,
                                          ColorScheme::DefaultObjectColor,
                                          ColorScheme::DefaultObjectOutlineColor};

QString hexComponent(double value) {
    return QStringLiteral("%1").arg(int(value * 255), 2, 16, QLatin1Char('0'));
}

} // namespace

ChangeColorsDialog::ChangeColorsDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::ChangeColorsDialogForm>()),
      chooseColor([](QWidget* owner, const QColor& initial) {
          return QColorDialog::getColor(initial, owner, QStringLiteral("Select new color"));
      }) {
    form->setupUi(this);
    connect(form->btnBgColor, &QPushButton::clicked, this, &ChangeColorsDialog::changeBgColor);
    connect(form->btnGridColor, &QPushButton::clicked, this, &ChangeColorsDialog::changeGridColor);
    connect(form->btnObjectColor, &QPushButton::clicked, this,
            &ChangeColorsDialog::changeObjectColor);
    connect(form->btnOutlineColor, &QPushButton::clicked, this,
            &ChangeColorsDialog::changeOutlineColor);
    connect(form->btnLoadDefault, &QPushButton::clicked, this,
            &ChangeColorsDialog::loadDefaultColor);
    connect(form->btnLoadLow, &QPushButton::clicked, this, &ChangeColorsDialog::loadLowColor);
    loadScheme(ColorScheme::activeScheme());
}

ChangeColorsDialog::~ChangeColorsDialog() = default;

QString ChangeColorsDialog::styleSheetFor(const Util::Vector4D& color) {
    return QStringLiteral("background-color : #%1%2%3;\n")
               .arg(hexComponent(color.x), hexComponent(color.y), hexComponent(color.z)) +
           QStringLiteral("border: none;");
}

QString ChangeColorsDialog::swatchStyleSheet(Swatch swatch) const {
    return swatchButton(swatch)->styleSheet();
}

QPushButton* ChangeColorsDialog::swatchButton(Swatch swatch) const {
    switch (swatch) {
    case Background:
        return form->btnBgColor;
    case Grid:
        return form->btnGridColor;
    case Object:
        return form->btnObjectColor;
    case Outline:
        return form->btnOutlineColor;
    }
    return form->btnBgColor;
}

void ChangeColorsDialog::loadScheme(int scheme) {
    dialogScheme = scheme;
    for (int i = 0; i < 4; ++i)
        colors[std::size_t(i)] = ColorScheme::color(entries[i], scheme);
    refreshSwatches();
}

void ChangeColorsDialog::refreshSwatches() {
    for (int i = 0; i < 4; ++i)
        swatchButton(Swatch(i))->setStyleSheet(styleSheetFor(colors[std::size_t(i)]));
}

void ChangeColorsDialog::loadDefaultColor() {
    loadScheme(ColorScheme::Default);
}

void ChangeColorsDialog::loadLowColor() {
    loadScheme(ColorScheme::Low);
}

void ChangeColorsDialog::changeColor(Swatch swatch) {
    const Util::Vector4D& current = colors[swatch];
    const QColor initial = QColor::fromRgbF(current.x, current.y, current.z, current.w);
    const QColor picked = chooseColor ? chooseColor(this, initial) : QColor();
    if (!picked.isValid())
        return;
    // Stored with single precision, like every other colour the program keeps.
    colors[swatch] = Util::Vector4D(float(picked.redF()), float(picked.greenF()),
                                    float(picked.blueF()), float(picked.alphaF()));
    dialogScheme = ColorScheme::Custom;
    refreshSwatches();
}

void ChangeColorsDialog::changeBgColor() {
    changeColor(Background);
}
void ChangeColorsDialog::changeGridColor() {
    changeColor(Grid);
}
void ChangeColorsDialog::changeObjectColor() {
    changeColor(Object);
}
void ChangeColorsDialog::changeOutlineColor() {
    changeColor(Outline);
}

void ChangeColorsDialog::applyToColorScheme() const {
    ColorScheme::setActiveScheme(dialogScheme);
    for (int i = 0; i < 4; ++i)
        ColorScheme::setCustomColor(entries[i], colors[std::size_t(i)]);
}

} // namespace Ui::Input
