#pragma once

#include "Core/ProcessList/processdata.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace Core::Operations {
class IUserPrompts;
}
namespace Model::Automaton {
class TotalVolume;
struct PhotoMask;
} // namespace Model::Automaton

namespace Ui {

// How the batch dialog asks for a step: the step's own options dialog, whose accepted values
// become a process record with the parameters (named, typed, shown or hidden) the executor and
// the process-list files know.
class BatchStepDialogs {
public:
    struct Context {
        QWidget* parent = nullptr;
        Core::Operations::IUserPrompts* prompts = nullptr;
        // The volume the list will run on, when there is one: heights are limited to it.
        std::shared_ptr<Model::Automaton::TotalVolume> volume;
        // Without one, the height of the volume the list's last "Create Substrate" step makes;
        // 0 when the list has none either.
        int listVolumeHeight = 0;
        // Where the photolithography dialog shows the masks it applies.
        std::function<void(const Model::Automaton::PhotoMask&)> previewTopMask;
        std::function<void(const Model::Automaton::PhotoMask&)> previewBottomMask;
    };

    // The kinds offered, in the order of the dialog's list: the text shown and the type code.
    struct Kind {
        const char* text;
        int type;
    };
    static const std::vector<Kind>& kinds();

    // Shows the dialog of `type` modally. The record on OK; nothing on Cancel, for an unknown
    // type, or for "Save Image" when no file was chosen.
    static std::optional<ProcessData> ask(int type, const Context& context);
};

} // namespace Ui
