#include "Model/Automaton/atomicrenderer.h"

#include "Model/Automaton/atomglyph.h"
#include "Model/Automaton/columnranges.h"
#include "Model/Automaton/cutplaneset.h"
#include "Model/Automaton/quaddrawing.h"
#include "Model/Automaton/silattice.h"
#include "Model/Automaton/totalvolume.h"

#include <QLoggingCategory>
#include <QOpenGLBuffer>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLShaderProgram>
#include <QPointer>

#include <array>
#include <new>

namespace Model::Automaton {

Q_LOGGING_CATEGORY(lcAtomicRenderer, "Model/Automaton/atomicrenderer", QtInfoMsg)

namespace {

// Every copy of a glyph moved to its instance's place and given its colour, lit the way the
// fixed pipeline lights the rest of the scene (colour material on ambient and diffuse).
const char* const vertexShader = R"(
#version 120
attribute vec3 instancePosition;
attribute vec4 instanceColor;
uniform bool lit;
uniform float lampOn[8];
uniform bool useFixedColor;
uniform vec4 fixedColor;
varying vec4 color;
void main() {
    vec4 world = vec4(gl_Vertex.xyz + instancePosition, 1.0);
    gl_Position = gl_ModelViewProjectionMatrix * world;
    vec4 base = useFixedColor ? fixedColor : instanceColor;
    if (!lit) {
        color = base;
        return;
    }
    vec3 eye = vec3(gl_ModelViewMatrix * world);
    vec3 n = normalize(gl_NormalMatrix * gl_Normal);
    vec4 sum = gl_LightModel.ambient * base;
    for (int i = 0; i < 8; ++i) {
        if (lampOn[i] < 0.5)
            continue;
        vec4 p = gl_LightSource[i].position;
        vec3 l = normalize(p.w == 0.0 ? p.xyz : p.xyz - eye);
        float diffuse = max(dot(n, l), 0.0);
        sum += gl_LightSource[i].ambient * base + diffuse * gl_LightSource[i].diffuse * base;
        if (diffuse > 0.0) {
            float shine = max(dot(n, normalize(l + vec3(0.0, 0.0, 1.0))), 0.0);
            sum += pow(shine, gl_FrontMaterial.shininess) * gl_LightSource[i].specular *
                   gl_FrontMaterial.specular;
        }
    }
    color = vec4(sum.rgb, base.a);
}
)";

const char* const fragmentShader = R"(
#version 120
varying vec4 color;
void main() {
    gl_FragColor = color;
}
)";

// Generic attributes well away from the ones some drivers alias with the fixed arrays.
constexpr int positionAttribute = 6;
constexpr int colorAttribute = 7;

const float outlineColor[4] = {127 / 255.f, 127 / 255.f, 1.f, 1.f};
const float cellColor[4] = {127 / 255.f, 127 / 255.f, 1.f, 127 / 255.f};

} // namespace

struct AtomicRenderer::Gpu {
    enum Glyph { Sphere, CellSolid, CellOutline, GlyphCount };
    enum Buffer { Atoms, Cells, Links, BufferCount };

    QPointer<QOpenGLContext> context;
    std::array<QOpenGLBuffer, GlyphCount> glyphs;
    std::array<int, GlyphCount> glyphVertices{};
    std::array<QOpenGLBuffer, BufferCount> buffers;
    int linkVertices = 0;
    std::unique_ptr<QOpenGLShaderProgram> program;
    bool drewInstanced = false;

    bool upload(QOpenGLBuffer& buffer, const void* data, std::size_t bytes) {
        if (!buffer.isCreated() && !buffer.create())
            return false;
        buffer.setUsagePattern(QOpenGLBuffer::StaticDraw);
        buffer.bind();
        buffer.allocate(data, int(bytes));
        buffer.release();
        return true;
    }

    bool makeGlyph(Glyph glyph, const std::vector<float>& vertices, int count) {
        glyphVertices[glyph] =
            upload(glyphs[glyph], vertices.data(), vertices.size() * 4) ? count : 0;
        return glyphVertices[glyph] > 0;
    }

    void makeProgram() {
        const QSurfaceFormat format = context->format();
        if (format.version() < qMakePair(3, 3))
            return;
        auto candidate = std::make_unique<QOpenGLShaderProgram>();
        candidate->addShaderFromSourceCode(QOpenGLShader::Vertex, vertexShader);
        candidate->addShaderFromSourceCode(QOpenGLShader::Fragment, fragmentShader);
        candidate->bindAttributeLocation("instancePosition", positionAttribute);
        candidate->bindAttributeLocation("instanceColor", colorAttribute);
        if (candidate->link())
            program = std::move(candidate);
        else
            qCWarning(lcAtomicRenderer) << "Atoms drawn one by one:" << candidate->log();
    }
};

AtomicRenderer::AtomicRenderer(TotalVolume& volume, CutPlaneSet& cutPlanes)
    : volume(volume), cutPlanes(cutPlanes) {}

AtomicRenderer::~AtomicRenderer() = default;

bool AtomicRenderer::drewInstanced() const {
    return gpu && gpu->drewInstanced;
}

void AtomicRenderer::buildUnitCells() {
    const std::shared_ptr<SiLattice> lattice = volume.getSiLattice();
    const bool wanted = switches.unitCells || switches.unitCellOutlines;
    try {
        scene.buildUnitCells(volume, wanted ? lattice.get() : nullptr, cutPlanes,
                             buildThreads > 0 ? buildThreads : defaultBuildThreads());
    } catch (const std::bad_alloc&) {
        scene.buildUnitCells(volume, nullptr, cutPlanes, 1);
        qCWarning(lcAtomicRenderer) << "Unit cells dropped, they do not fit in memory";
    }
    cellsChanged = true;
}

void AtomicRenderer::buildAtoms() {
    qCDebug(lcAtomicRenderer) << "Building atoms";
    const std::shared_ptr<SiLattice> lattice = volume.getSiLattice();
    try {
        scene.buildAtoms(volume, lattice.get(), switches, cutPlanes,
                         buildThreads > 0 ? buildThreads : defaultBuildThreads());
    } catch (const std::bad_alloc&) {
        scene.buildAtoms(volume, nullptr, switches, cutPlanes, 1);
        qCWarning(lcAtomicRenderer) << "Atoms dropped, they do not fit in memory";
    }
    atomsChanged = true;
}

bool AtomicRenderer::prepareGpu() {
    QOpenGLContext* current = QOpenGLContext::currentContext();
    if (!current)
        return false;
    if (!gpu || gpu->context != current) {
        gpu = std::make_unique<Gpu>();
        gpu->context = current;
        // The atoms keep their size relative to the crystal, whatever its lattice constant.
        const auto lattice = volume.getSiLattice();
        const double latticeConstant = lattice ? lattice->getLatticeConstant() : 1.0;
        if (!gpu->makeGlyph(Gpu::Sphere, AtomGlyph::sphere(latticeConstant),
                            AtomGlyph::sphereVertices)) {
            // A context without buffer objects cannot draw them.
            switches.atoms = false;
            switches.links = false;
            gpu.reset();
            return false;
        }
        gpu->makeProgram();
        cellsChanged = atomsChanged = true;
    }
    if (cellsChanged) {
        const auto& cells = scene.getUnitCells();
        gpu->upload(gpu->buffers[Gpu::Cells], cells.data(), cells.size() * sizeof(cells[0]));
        if (gpu->glyphVertices[Gpu::CellSolid] == 0) {
            if (const auto lattice = volume.getSiLattice()) {
                const std::vector<Util::Vector3D> corners = lattice->getUnitCellCorners();
                gpu->makeGlyph(Gpu::CellSolid, AtomGlyph::unitCellSolid(corners), 36);
                gpu->makeGlyph(Gpu::CellOutline, AtomGlyph::unitCellOutline(corners), 24);
            }
        }
        cellsChanged = false;
    }
    if (atomsChanged) {
        const auto& atoms = scene.getAtoms();
        gpu->upload(gpu->buffers[Gpu::Atoms], atoms.data(), atoms.size() * sizeof(atoms[0]));
        const auto& links = scene.getLinks();
        gpu->upload(gpu->buffers[Gpu::Links], links.data(), links.size() * sizeof(float));
        gpu->linkVertices = int(links.size() / 3);
        atomsChanged = false;
    }
    return true;
}

void AtomicRenderer::drawGlyphs(int glyph, const std::vector<AtomicScene::Instance>& instances,
                                int buffer, const float* fixedColor) {
    const int vertices = gpu->glyphVertices[std::size_t(glyph)];
    if (vertices == 0 || instances.empty())
        return;
    const bool normals = glyph == Gpu::Sphere;
    const GLenum mode = glyph == Gpu::CellOutline ? GL_QUADS : GL_TRIANGLES;
    QOpenGLBuffer& shape = gpu->glyphs[std::size_t(glyph)];
    shape.bind();
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    if (normals) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, 0, reinterpret_cast<const void*>(std::size_t(vertices) * 12));
    }
    shape.release();

    gpu->drewInstanced = gpu->program && instancingAllowed;
    if (gpu->drewInstanced) {
        QOpenGLShaderProgram& program = *gpu->program;
        QOpenGLExtraFunctions* f = gpu->context->extraFunctions();
        program.bind();
        GLfloat lamps[8];
        for (int i = 0; i < 8; ++i)
            lamps[i] = glIsEnabled(GLenum(GL_LIGHT0 + i)) ? 1.f : 0.f;
        program.setUniformValue("lit", normals && glIsEnabled(GL_LIGHTING));
        program.setUniformValueArray("lampOn", lamps, 8, 1);
        program.setUniformValue("useFixedColor", fixedColor != nullptr);
        if (fixedColor)
            program.setUniformValue("fixedColor", fixedColor[0], fixedColor[1], fixedColor[2],
                                    fixedColor[3]);
        gpu->buffers[std::size_t(buffer)].bind();
        const GLsizei stride = sizeof(AtomicScene::Instance);
        f->glEnableVertexAttribArray(positionAttribute);
        f->glVertexAttribPointer(positionAttribute, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
        f->glVertexAttribDivisor(positionAttribute, 1);
        f->glEnableVertexAttribArray(colorAttribute);
        f->glVertexAttribPointer(colorAttribute, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                                 reinterpret_cast<const void*>(std::size_t(12)));
        f->glVertexAttribDivisor(colorAttribute, 1);
        f->glDrawArraysInstanced(mode, 0, vertices, GLsizei(instances.size()));
        // Divisors outlive the draw; nothing else in the scene expects them.
        f->glVertexAttribDivisor(positionAttribute, 0);
        f->glVertexAttribDivisor(colorAttribute, 0);
        f->glDisableVertexAttribArray(positionAttribute);
        f->glDisableVertexAttribArray(colorAttribute);
        gpu->buffers[std::size_t(buffer)].release();
        program.release();
    } else {
        if (fixedColor)
            glColor4fv(fixedColor);
        for (const AtomicScene::Instance& instance : instances) {
            if (!fixedColor)
                glColor4ubv(instance.rgba.data());
            glPushMatrix();
            glTranslatef(instance.x, instance.y, instance.z);
            glDrawArrays(mode, 0, vertices);
            glPopMatrix();
        }
    }
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void AtomicRenderer::drawOpaque() {
    if (!(switches.atoms || switches.links || switches.unitCellOutlines) || !prepareGpu())
        return;
    if (switches.atoms)
        drawGlyphs(Gpu::Sphere, scene.getAtoms(), Gpu::Atoms, nullptr);
    if (switches.links && gpu->linkVertices > 0) {
        // Lines have no normal of their own: lit, they would take the shade of whatever
        // normal was set last instead of their colour.
        glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
        glDisable(GL_LIGHTING);
        glColor3ub(255, 255, 127);
        gpu->buffers[Gpu::Links].bind();
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, nullptr);
        glDrawArrays(GL_LINES, 0, gpu->linkVertices);
        glDisableClientState(GL_VERTEX_ARRAY);
        gpu->buffers[Gpu::Links].release();
        glPopAttrib();
    }
    if (switches.unitCellOutlines) {
        QuadDrawing::beginOutlines();
        drawGlyphs(Gpu::CellOutline, scene.getUnitCells(), Gpu::Cells, outlineColor);
        QuadDrawing::endOutlines();
    }
}

void AtomicRenderer::drawTransparent() {
    if (!switches.unitCells || !prepareGpu())
        return;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    drawGlyphs(Gpu::CellSolid, scene.getUnitCells(), Gpu::Cells, cellColor);
    glPopAttrib();
}

} // namespace Model::Automaton
