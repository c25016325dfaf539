#pragma once

#include "Model/ModelExtraction/imodelrule.h"

#include <vector>

namespace Model::ModelExtraction {

// Finds free-standing beams: a box that is not silicon, hangs on exactly one other box and
// has nothing above or below it is the free tip of a beam. The beam runs from the tip back
// along the direction of that one link through boxes of the tip's material that are links in
// the same chain (two neighbours, one further along), and becomes one box covering them all.
class CantileverModelRule : public IModelRule {
public:
    std::shared_ptr<IStructure> apply(const std::shared_ptr<ExtractedModel>& model) override;

    const std::vector<EnvelopePtr>& getSiliconEnvelopes() const { return silicon; }
    const std::vector<EnvelopePtr>& getCandidates() const { return candidates; }
    // One merged box per beam, in the order of their tips.
    const std::vector<EnvelopePtr>& getBeams() const { return beams; }

private:
    EnvelopePtr mergeBeam(const RectangularCuboidEnvelope& tip) const;

    std::vector<EnvelopePtr> silicon;
    std::vector<EnvelopePtr> candidates;
    std::vector<EnvelopePtr> beams;
};

} // namespace Model::ModelExtraction
