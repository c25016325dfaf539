#include "Model/ModelExtraction/extractedmodel.h"

#include <qopengl.h>

#include <map>

namespace Model::ModelExtraction {

namespace {

struct Box {
    double lo[3];
    double hi[3];
};

Box boxOf(const RectangularCuboidEnvelope& e) {
    using M = ExtractedModel;
    return {
        {e.x * M::scaleX, e.y * M::scaleY, e.z * M::scaleZ},
        {(e.x + e.sizeX) * M::scaleX, (e.y + e.sizeY) * M::scaleY, (e.z + e.sizeZ) * M::scaleZ}};
}

// Six faces, counter-clockwise seen from outside; corners pick lo (0) or hi (1) per axis.
struct Face {
    float normal[3];
    int corners[4][3];
};
const Face faces[6] = {
    {{-1, 0, 0}, {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}}},
    {{1, 0, 0}, {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}},
    {{0, -1, 0}, {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}},
    {{0, 1, 0}, {{0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 0}}},
    {{0, 0, -1}, {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}}},
    {{0, 0, 1}, {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}},
};

void vertex(const Box& box, const int corner[3]) {
    glVertex3d(corner[0] ? box.hi[0] : box.lo[0], corner[1] ? box.hi[1] : box.lo[1],
               corner[2] ? box.hi[2] : box.lo[2]);
}

void drawSolid(const Box& box) {
    glBegin(GL_QUADS);
    for (const Face& face : faces) {
        glNormal3fv(face.normal);
        for (const auto& corner : face.corners)
            vertex(box, corner);
    }
    glEnd();
}

void drawOutline(const Box& box) {
    static const int bottom[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    for (int z = 0; z < 2; ++z) {
        glBegin(GL_LINE_LOOP);
        for (const auto& c : bottom) {
            const int corner[3] = {c[0], c[1], z};
            vertex(box, corner);
        }
        glEnd();
    }
    glBegin(GL_LINES);
    for (const auto& c : bottom) {
        const int low[3] = {c[0], c[1], 0};
        const int high[3] = {c[0], c[1], 1};
        vertex(box, low);
        vertex(box, high);
    }
    glEnd();
}

} // namespace

ExtractedModel::ExtractedModel(std::vector<EnvelopePtr> envelopes)
    : envelopes(std::move(envelopes)) {}

const std::array<ExtractedModel::Color, 14>& ExtractedModel::palette() {
    static const std::array<Color, 14> colors{{{1, 0, 0},
                                               {1, 1, 0},
                                               {1, 1, 1},
                                               {0, 1, 0},
                                               {0, 1, 1},
                                               {1, 0, 1},
                                               {0, 0, 1},
                                               {0.5f, 0, 0},
                                               {0.5f, 0.5f, 0},
                                               {0.5f, 0.5f, 0.5f},
                                               {0, 0.5f, 0},
                                               {0, 0.5f, 0.5f},
                                               {0.5f, 0, 0.5f},
                                               {0, 0, 0.5f}}};
    return colors;
}

void ExtractedModel::translate(Util::Vector4D delta) {
    offset[0] += float(delta.x);
    offset[1] += float(delta.y);
    offset[2] += float(delta.z);
}

Object* ExtractedModel::clone() {
    std::map<const RectangularCuboidEnvelope*, RectangularCuboidEnvelope*> copies;
    std::vector<EnvelopePtr> copied;
    copied.reserve(envelopes.size());
    for (const EnvelopePtr& e : envelopes) {
        copied.push_back(std::make_shared<RectangularCuboidEnvelope>(
            e->x, e->y, e->z, e->sizeX, e->sizeY, e->sizeZ, e->material));
        copies[e.get()] = copied.back().get();
    }
    for (std::size_t i = 0; i < envelopes.size(); ++i) {
        for (int face = 0; face < RectangularCuboidEnvelope::FaceCount; ++face) {
            const auto found = copies.find(envelopes[i]->neighbour(face));
            if (found != copies.end())
                copied[i]->setNeighbour(face, found->second);
        }
    }
    auto* model = new ExtractedModel(std::move(copied));
    model->offset = offset;
    model->cellEdges = cellEdges;
    return model;
}

void ExtractedModel::drawBoxes(bool outlines) {
    colorCursor = 0;
    for (const EnvelopePtr& envelope : envelopes) {
        const Box box = boxOf(*envelope);
        if (outlines) {
            const Color& color = palette()[colorCursor];
            colorCursor = (colorCursor + 1) % palette().size();
            glColor3f(color[0], color[1], color[2]);
        }
        drawSolid(box);
        if (outlines) {
            glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
            glDisable(GL_LIGHTING);
            glColor3f(0.25f, 0.25f, 0.25f);
            drawOutline(box);
            glPopAttrib();
        }
    }
}

void ExtractedModel::draw(bool renderObjects, bool) {
    if (!renderObjects)
        return;
    Util::Vector3D shift(offset[0], offset[1], offset[2]);
    if (moving)
        shift += previewOffset;
    glPushMatrix();
    glTranslated(shift.x, shift.y, shift.z);
    drawBoxes(true);
    glPopMatrix();
}

void ExtractedModel::drawForPicking() {
    // Picked where it is drawn, so a click on a shifted model finds it.
    glPushMatrix();
    glTranslated(double(offset[0]), double(offset[1]), double(offset[2]));
    drawBoxes(false);
    glPopMatrix();
}

} // namespace Model::ModelExtraction
