#pragma once

#include "Model/Materials/material.h"

#include <vector>

class QComboBox;

namespace Ui::Operations {

// Fills a process dialog's material list: the name as text, the id as item data and a swatch
// of the material colour as icon.
void fillMaterialCombo(QComboBox* combo, const std::vector<Model::Materials::Material>& materials);

// The id of the chosen material, or 0 when nothing usable is chosen.
int selectedMaterialId(const QComboBox* combo);

// The materials the process registry lists as compatible with the named process.
std::vector<Model::Materials::Material> compatibleMaterials(const QString& processName);

} // namespace Ui::Operations
