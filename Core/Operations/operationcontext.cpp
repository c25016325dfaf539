#include "Core/Operations/operationcontext.h"

namespace Core::Operations {

OperationContext::OperationContext(IOperationHost& host, IUserPrompts& prompts)
    : document(std::make_shared<Model::Document>()), selection(document, viewInteraction),
      host(host), prompts(prompts) {}

} // namespace Core::Operations
