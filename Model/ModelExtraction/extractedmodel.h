#pragma once

#include "Model/Metrology/scale.h"
#include "Model/ModelExtraction/rectangularcuboidenvelope.h"
#include "Model/object.h"

#include <array>
#include <vector>

namespace Model::ModelExtraction {

// What model extraction found, shown in the view while the user steps through it: a list of
// boxes drawn as solids in a cycle of colours, with grey outlines, moved by a display offset.
// It is shown only while the extraction runs and is never saved.
class ExtractedModel : public Model::Object {
public:
    using Color = std::array<float, 3>;
    // Corners are drawn at cell index times these factors.
    static constexpr double scaleX = 1.0;
    static constexpr double scaleY = 1.0;
    static constexpr double scaleZ = 0.3535524606704712;

    explicit ExtractedModel(std::vector<EnvelopePtr> envelopes = {});

    int getType() const override { return 2; }
    void draw(bool renderObjects, bool renderEdges) override;
    void drawForPicking() override;
    // A copy with its own envelopes, linked among themselves as the originals are.
    Object* clone() override;
    void translate(Util::Vector4D delta) override;

    const std::vector<EnvelopePtr>& getEnvelopes() const { return envelopes; }
    std::array<float, 3> getOffset() const { return offset; }
    // The µm edges of the cells the boxes count, those of the volume the model came from.
    Metrology::CellEdges getCellEdges() const { return cellEdges; }
    void setCellEdges(const Metrology::CellEdges& edges) { cellEdges = edges; }

    // The colours envelopes are drawn in, in list order, starting afresh with every draw.
    static const std::array<Color, 14>& palette();

private:
    void drawBoxes(bool outlines);

    std::vector<EnvelopePtr> envelopes;
    std::array<float, 3> offset{0.f, 0.f, 0.f};
    Metrology::CellEdges cellEdges;
    std::size_t colorCursor = 0;
};

} // namespace Model::ModelExtraction
