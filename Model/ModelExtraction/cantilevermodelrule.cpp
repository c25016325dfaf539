#include "Model/ModelExtraction/cantilevermodelrule.h"

#include "Model/ModelExtraction/cantileverstructure.h"

#include <algorithm>

namespace Model::ModelExtraction {

namespace {

constexpr std::uint32_t siliconId = 1;

using Envelope = RectangularCuboidEnvelope;

bool isHangingTip(const Envelope& e) {
    return e.material != siliconId && e.getNeighbourCount() == 1 &&
           !e.neighbour(Envelope::Bottom) && !e.neighbour(Envelope::Top);
}

// The face the tip hangs on.
int directionOf(const Envelope& tip) {
    for (int face : {Envelope::MinusX, Envelope::PlusX, Envelope::MinusY})
        if (tip.neighbour(face))
            return face;
    return Envelope::PlusY;
}

} // namespace

std::shared_ptr<IStructure>
CantileverModelRule::apply(const std::shared_ptr<ExtractedModel>& model) {
    silicon.clear();
    candidates.clear();
    beams.clear();
    if (!model)
        return nullptr;
    for (const EnvelopePtr& e : model->getEnvelopes()) {
        if (e->material == siliconId)
            silicon.push_back(e);
        else if (isHangingTip(*e))
            candidates.push_back(e);
    }
    for (const EnvelopePtr& tip : candidates)
        beams.push_back(mergeBeam(*tip));
    if (beams.empty())
        return nullptr;
    return std::make_shared<CantileverStructure>(beams, model->getCellEdges());
}

EnvelopePtr CantileverModelRule::mergeBeam(const Envelope& tip) const {
    const int direction = directionOf(tip);
    int lo[3] = {tip.x, tip.y, tip.z};
    int hi[3] = {tip.x + tip.sizeX, tip.y + tip.sizeY, tip.z + tip.sizeZ};
    for (const Envelope* next = tip.neighbour(direction);
         next && next->material == tip.material && next->getNeighbourCount() == 2 &&
         next->neighbour(direction);
         next = next->neighbour(direction)) {
        lo[0] = std::min(lo[0], next->x);
        lo[1] = std::min(lo[1], next->y);
        lo[2] = std::min(lo[2], next->z);
        hi[0] = std::max(hi[0], next->x + next->sizeX);
        hi[1] = std::max(hi[1], next->y + next->sizeY);
        hi[2] = std::max(hi[2], next->z + next->sizeZ);
    }
    return std::make_shared<Envelope>(lo[0], lo[1], lo[2], hi[0] - lo[0], hi[1] - lo[1],
                                      hi[2] - lo[2], tip.material);
}

} // namespace Model::ModelExtraction
