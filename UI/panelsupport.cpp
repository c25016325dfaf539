#include "UI/panelsupport.h"

#include "Model/Automaton/totalvolume.h"
#include "UI/mainwindowpresenter.h"

namespace Ui {

std::shared_ptr<Model::Automaton::TotalVolume> volumeInView(MainWindowPresenter& presenter) {
    std::shared_ptr<Model::Automaton::TotalVolume> chosen;
    for (const auto& object : presenter.getSelection().getSelectedObjects())
        if (auto volume = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(object))
            chosen = volume;
    if (chosen)
        return chosen;
    int volumes = 0;
    for (const auto& object : presenter.getDocument()->getObjects())
        if (auto volume = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(object)) {
            chosen = volume;
            ++volumes;
        }
    return volumes == 1 ? chosen : nullptr;
}

} // namespace Ui
