#pragma once

#include "Util/iobserver.h"

#include <functional>
#include <memory>

namespace Model::Automaton {
class TotalVolume;
}

namespace Ui {

class MainWindowPresenter;

// What the window's side panels (cross-section, step history) share: the volume they speak
// about and a way to hear of every change of the document.

// The last selected cell volume, else the document's only one; empty when there is no such
// volume (several and none selected, or none).
std::shared_ptr<Model::Automaton::TotalVolume> volumeInView(MainWindowPresenter& presenter);

// Calls back on every notification of the observer lists it is put in.
class PanelWatcher : public Util::IObserver {
public:
    explicit PanelWatcher(std::function<void()> call) : call(std::move(call)) {}
    void update() override { call(); }

private:
    std::function<void()> call;
};

} // namespace Ui
