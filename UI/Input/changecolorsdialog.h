#pragma once

#include "Util/vector4d.h"

#include <QColor>
#include <QDialog>

#include <array>
#include <functional>
#include <memory>

class QPushButton;

namespace Ui {
class ChangeColorsDialogForm;
}

namespace Ui::Input {

// Edits the window colours: pick one of the fixed schemes or set colours of one's own, which
// become the custom scheme. Nothing changes until applyToColorScheme() on acceptance.
class ChangeColorsDialog : public QDialog {
    Q_OBJECT
public:
    // Order of the dialog's colours.
    enum Swatch { Background = 0, Grid, Object, Outline };
    // Asks for a colour starting at `initial`; an invalid colour means the user cancelled.
    using ColorChooser = std::function<QColor(QWidget* parent, const QColor& initial)>;

    explicit ChangeColorsDialog(QWidget* parent = nullptr);
    ~ChangeColorsDialog() override;

    int scheme() const { return dialogScheme; }
    Util::Vector4D color(Swatch swatch) const { return colors[swatch]; }
    QString swatchStyleSheet(Swatch swatch) const;
    QPushButton* swatchButton(Swatch swatch) const;
    void setColorChooser(ColorChooser chooser) { chooseColor = std::move(chooser); }

    // Makes the dialog's scheme the active one and stores its colours as the custom scheme.
    void applyToColorScheme() const;

    static QString styleSheetFor(const Util::Vector4D& color);

public slots:
    void loadDefaultColor();
    void loadLowColor();
    void changeBgColor();
    void changeGridColor();
    void changeObjectColor();
    void changeOutlineColor();

private:
    void loadScheme(int scheme);
    void changeColor(Swatch swatch);
    void refreshSwatches();

    std::unique_ptr<Ui::ChangeColorsDialogForm> form;
    int dialogScheme = 0;
    std::array<Util::Vector4D, 4> colors;
    ColorChooser chooseColor;
};

} // namespace Ui::Input
