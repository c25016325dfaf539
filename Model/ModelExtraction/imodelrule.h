#pragma once

#include "Model/ModelExtraction/extractedmodel.h"
#include "Model/ModelExtraction/istructure.h"

#include <memory>

namespace Model::ModelExtraction {

// Recognises one kind of structure among the envelopes of a preprocessed volume.
class IModelRule {
public:
    virtual ~IModelRule() = default;
    // The structure found, or null when there is none.
    virtual std::shared_ptr<IStructure> apply(const std::shared_ptr<ExtractedModel>& model) = 0;
};

} // namespace Model::ModelExtraction
