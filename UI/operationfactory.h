#pragma once

#include "Core/Operations/ioperationfactory.h"
#include "Core/Operations/operationcontext.h"

#include <functional>
#include <map>

class QWidget;

namespace Ui {

class DialogMemory;
class MainWindowPresenter;

// Creates operations by number, gives each the presenter's context and attaches the dialog
// observer its number calls for.
//
// Numbers in use: 1 Copy, 2 Create Substrate, 3 Ion Implantation, 4 Delete, 6 Change
// Visualization, 7 Move, 8 Extract Film, 9 Save, 10 Save As, 11 Open, 12 Glue, 13 Isotropic
// Deposition, 14 Isotropic Etching, 15 Electroplating, 16 Cut Planes, 17 Doping, 18 Moore
// Deposition, 19 Moore Etching, 20 Photolithography, 22 Planarization, 23 Spin Coating,
// 24 Select Volumes, 26 Si Oxidation, 27 Anisotropic Deposition, 28 Atomistic Wet Etch,
// 29 Continuous Wet Etch, 30 Simple RIE, 31 Flux Etching, 32 Flux Deposition, 33 Bosch DRIE,
// 1000 Model Extraction. 5, 21 and 25 are retired.
// A number is registered once its operation exists; every other number creates nothing.
class OperationFactory : public Core::Operations::IOperationFactory {
public:
    using Creator = std::function<Core::Operations::OperationPtr(OperationFactory&)>;

    explicit OperationFactory(MainWindowPresenter& presenter);

    Core::Operations::OperationPtr create(unsigned int operationNumber) override;
    bool knows(unsigned int operationNumber) const { return creators.count(operationNumber) > 0; }

    MainWindowPresenter& getPresenter() { return presenter; }
    Core::Operations::OperationContext& getContext();
    QWidget* getParentWidget() const;
    DialogMemory* getDialogMemory();

    // Registers an operation whose dialog observer is created with it and attached through
    // the operation's setObserver().
    template <class Op, class Observer> void registerWithObserver(unsigned number) {
        creators[number] = [](OperationFactory& factory) -> Core::Operations::OperationPtr {
            auto operation = std::make_shared<Op>(factory.getContext());
            auto observer = std::make_shared<Observer>(factory.getContext().currentOperation,
                                                       factory.getParentWidget());
            observer->setDialogMemory(factory.getDialogMemory());
            operation->setObserver(std::move(observer));
            return operation;
        };
    }

private:
    // Move, copy, delete and the change of a volume's display options.
    void registerObjectOperations();

    MainWindowPresenter& presenter;
    std::map<unsigned, Creator> creators;
};

} // namespace Ui
