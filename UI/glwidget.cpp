#include "UI/glwidget.h"

#include "Model/Automaton/scenestyle.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/document.h"
#include "UI/glcapabilities.h"
#include "UI/mainwindowpresenter.h"
#include "UI/pointerplane.h"
#include "Util/colorscheme.h"

#include <QMouseEvent>
#include <QShortcut>
#include <QSurfaceFormat>
#include <QWheelEvent>
#include <QtMath>
#include <qopengl.h>

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Ui {

namespace {

constexpr float keyStep = 5.0f;
constexpr int symbolSegments = 16;
// Far enough apart that no user gets there by accident, close enough that the projection
// never collapses to nothing.
constexpr float minZoom = 1e-5f;
constexpr float maxZoom = 1e5f;

QSurfaceFormat requestedFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    // Drawing is fixed-function GL 1.x: a core profile would draw nothing and break picking.
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setAlphaBufferSize(8);
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(0);
    format.setStereo(false);
    format.setSamples(0);
    return format;
}

std::vector<float> toVector(const float* values, int count) {
    return std::vector<float>(values, values + count);
}

} // namespace

GLWidget::GLWidget(QWidget* parent, MainWindowPresenter* presenter)
    : QOpenGLWidget(parent), presenter(presenter) {
    qRegisterMetaType<std::vector<float>>("std::vector<float>");
    setFormat(requestedFormat());
    createShortcuts(parent ? parent->window() : this);
    setMouseTracking(true);
    lamps.activeLamp = 0;
    // Set here rather than in initializeGL(): the context is created again when the widget
    // changes windows, and that must not throw away the user's view.
    const auto& angles = Model::Automaton::SceneStyle::startAngles;
    camera.setAngles(angles[0], angles[1], angles[2]);
    trackball.resize(width(), height());
}

GLWidget::~GLWidget() {
    // The shortcuts live on the window, which may outlive this view. Deleting one reports
    // back through destroyed(), so walk a copy.
    const std::vector<QShortcut*> owned = std::move(shortcuts);
    shortcuts.clear();
    for (QShortcut* shortcut : owned)
        delete shortcut;
}

void GLWidget::createShortcuts(QWidget* owner) {
    const std::pair<int, void (GLWidget::*)()> keys[] = {
        {Qt::Key_Q, &GLWidget::increaseTranslateX}, {Qt::Key_W, &GLWidget::increaseTranslateY},
        {Qt::Key_E, &GLWidget::increaseTranslateZ}, {Qt::Key_A, &GLWidget::decreaseTranslateX},
        {Qt::Key_S, &GLWidget::decreaseTranslateY}, {Qt::Key_D, &GLWidget::decreaseTranslateZ},
        {Qt::Key_L, &GLWidget::swithActiveLamp}};
    for (const auto& [key, slot] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(key), owner);
        connect(shortcut, &QShortcut::activated, this, slot);
        // Track deletion by the window so the destructor never deletes twice.
        connect(shortcut, &QObject::destroyed, this, [this](QObject* gone) {
            shortcuts.erase(std::remove(shortcuts.begin(), shortcuts.end(), gone), shortcuts.end());
        });
        shortcuts.push_back(shortcut);
    }
}

// --- settings used by the main window ---------------------------------------------------

void GLWidget::setRotationAngles(float x, float y, float z) {
    keepViewForShownVolumes();
    camera.setAngles(x, y, z);
    update();
    emit rotationChanged(toVector(camera.angles.data(), 3));
}

void GLWidget::setZoom(float value) {
    keepViewForShownVolumes();
    if (!(value > 0.0f) || !std::isfinite(value))
        return;
    zoom = std::clamp(1.0f / value, minZoom, maxZoom);
    update();
    emit zoomChanged(zoom * 100.0f);
}

void GLWidget::setViewOffset(float x, float y) {
    keepViewForShownVolumes();
    camera.setViewOffset(x, y);
    update();
    emit viewPositionChanged(toVector(camera.viewOffset.data(), 2));
}

void GLWidget::setTranslation(float x, float y, float z) {
    keepViewForShownVolumes();
    camera.translation = {x, y, z};
    update();
    emit axisPositionChanged(toVector(camera.translation.data(), 3));
}

void GLWidget::setShowAxis(bool show) {
    showAxis = show;
    update();
}

void GLWidget::setLighting(bool on) {
    lighting = on;
    update();
}

void GLWidget::setRenderObjects(bool on) {
    renderObjects = on;
    update();
}

void GLWidget::setRenderEdges(bool on) {
    renderEdges = on;
    update();
}

void GLWidget::setShowGrid(bool show) {
    showGrid = show;
    update();
}

void GLWidget::setSnapToGrid(bool on) {
    snapToGrid = on;
}

void GLWidget::setGridSpacing(double spacing) {
    grid.spacing = spacing;
    update();
}

void GLWidget::setLamps(const LampSet& newLamps) {
    lamps = newLamps;
    lamps.count = std::clamp(lamps.count, 1, LampSet::maxLamps);
    if (lamps.activeLamp > lamps.count || lamps.activeLamp < 0)
        lamps.activeLamp = 0;
    for (int lamp = 1; lamp <= lamps.count; ++lamp)
        lamps.updatePosition(lamp);
    update();
    emitLampPosition();
}

bool GLWidget::setNamedView(const QString& name) {
    struct Named {
        const char* name;
        float x, y, z;
    };
    static const Named views[] = {{"front", -90, 0, 0}, {"back", -90, 0, 180},
                                  {"left", -90, 0, 90}, {"right", -90, 0, -90},
                                  {"top", 0, 0, 0},     {"bottom", 180, 0, 0}};
    for (const Named& view : views) {
        if (name == QLatin1String(view.name)) {
            setRotationAngles(view.x, view.y, view.z);
            return true;
        }
    }
    return false;
}

// --- keys -------------------------------------------------------------------------------

void GLWidget::translateDocument(int axis, float amount) {
    framedAutomatically = false;
    camera.translation[std::size_t(axis)] += amount;
    update();
    emit axisPositionChanged(toVector(camera.translation.data(), 3));
}

void GLWidget::increaseTranslateX() {
    translateDocument(0, keyStep);
}
void GLWidget::increaseTranslateY() {
    translateDocument(1, keyStep);
}
void GLWidget::increaseTranslateZ() {
    translateDocument(2, keyStep);
}
void GLWidget::decreaseTranslateX() {
    translateDocument(0, -keyStep);
}
void GLWidget::decreaseTranslateY() {
    translateDocument(1, -keyStep);
}
void GLWidget::decreaseTranslateZ() {
    translateDocument(2, -keyStep);
}

void GLWidget::swithActiveLamp() {
    lamps.switchActive();
    update();
    emitLampPosition();
}

void GLWidget::updateGL() {
    bool unseen = false;
    if (const auto document = presenter ? presenter->getDocument() : nullptr)
        for (const Model::ObjectPtr& object : document->getObjects())
            if (dynamic_cast<const Model::Automaton::TotalVolume*>(object.get()))
                unseen = shownVolumes.insert(object->getId()).second || unseen;
    if (unseen)
        framedAutomatically = frameVolumes();
    update();
}

bool GLWidget::frameVolumes() {
    const auto document = presenter ? presenter->getDocument() : nullptr;
    if (!document)
        return false;
    QVector3D lower(std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                    std::numeric_limits<float>::max());
    QVector3D upper = -lower;
    bool any = false;
    for (const Model::ObjectPtr& object : document->getObjects()) {
        const auto* volume = dynamic_cast<const Model::Automaton::TotalVolume*>(object.get());
        if (!volume)
            continue;
        const Util::Vector3D p = volume->getPosition();
        const QVector3D corner(float(p.x), float(p.y), float(p.z));
        const QVector3D far =
            corner + QVector3D(float(volume->getSizeX()) * volume->getCellSizeX(),
                               float(volume->getSizeY()) * volume->getCellSizeY(),
                               float(volume->getSizeZ()) * volume->getCellSizeZ());
        for (int axis = 0; axis < 3; ++axis) {
            lower[axis] = std::min({lower[axis], corner[axis], far[axis]});
            upper[axis] = std::max({upper[axis], corner[axis], far[axis]});
        }
        any = true;
    }
    if (!any)
        return false;
    const QVector3D centre = (lower + upper) / 2.0f;
    for (int axis = 0; axis < 3; ++axis)
        camera.translation[std::size_t(axis)] = -centre[axis];
    camera.setViewOffset(0.0f, 0.0f);
    // The half diagonal bounds the box in every rotation; a tenth is left as margin.
    const float radius = (upper - lower).length() / 2.0f;
    const int side = std::min(width(), height());
    if (radius > 0.0f && side > 0)
        zoom = std::clamp(float(side) / (2.2f * radius), minZoom, maxZoom);
    emit axisPositionChanged(toVector(camera.translation.data(), 3));
    emit viewPositionChanged(toVector(camera.viewOffset.data(), 2));
    emit zoomChanged(zoom * 100.0f);
    return true;
}

void GLWidget::keepViewForShownVolumes() {
    framedAutomatically = false;
    if (const auto document = presenter ? presenter->getDocument() : nullptr)
        for (const Model::ObjectPtr& object : document->getObjects())
            if (dynamic_cast<const Model::Automaton::TotalVolume*>(object.get()))
                shownVolumes.insert(object->getId());
}

void GLWidget::emitLampPosition() {
    const int active = lamps.activeLamp;
    if (!lamps.isValid(active))
        return;
    const std::size_t i = std::size_t(active - 1);
    emit lampPositionChanged(
        {float(active), lamps.radius[i], lamps.azimuth[i], lamps.elevation[i]});
}

// --- GL ---------------------------------------------------------------------------------

void GLWidget::initializeGL() {
    checkGLCapabilities(context());

    Model::Automaton::SceneStyle::applyFixedState();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    lamps.applyToGL();
}

void GLWidget::resizeGL(int w, int h) {
    depthRange = int(std::floor(std::sqrt(2.0) * std::max(w, h)));
    trackball.resize(w, h);
    grid.resetRectangle();
    // A window opened on a document frames it before it has its final size.
    if (framedAutomatically)
        frameVolumes();
    loadProjection();
}

void GLWidget::loadProjection() const {
    const qreal ratio = devicePixelRatioF();
    glViewport(0, 0, GLsizei(width() * ratio), GLsizei(height() * ratio));
    const double halfW = width() / (2.0 * zoom);
    const double halfH = height() / (2.0 * zoom);
    const double halfDepth = depthRange / (2.0 * zoom);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-halfW, halfW, -halfH, halfH, -halfDepth, halfDepth);
    glMatrixMode(GL_MODELVIEW);
}

void GLWidget::loadModelview() const {
    glMatrixMode(GL_MODELVIEW);
    camera.apply();
}

void GLWidget::paintGL() {
    loadProjection();

    const Util::Vector4D background =
        Util::ColorScheme::activeColor(Util::ColorScheme::BackgroundColor);
    glClearColor(GLclampf(background.x), GLclampf(background.y), GLclampf(background.z), 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    lamps.applyToGL();
    loadModelview();

    if (lighting)
        glEnable(GL_LIGHTING);
    else
        glDisable(GL_LIGHTING);

    if (showGrid) {
        glDepthMask(GL_FALSE);
        grid.draw(Util::ColorScheme::activeColor(Util::ColorScheme::GridColor));
        glDepthMask(GL_TRUE);
    }

    if (presenter) {
        if (const auto document = presenter->getDocument())
            document->draw(renderObjects, renderEdges);
        // Copies being placed are not part of the document yet.
        for (const auto& object : presenter->getViewInteraction().getPreviewObjects())
            object->draw(renderObjects, renderEdges);
    }

    drawMarks();

    if (showAxis) {
        glTranslatef(-camera.translation[0], -camera.translation[1], -camera.translation[2]);
        drawAxis();
        glTranslatef(camera.translation[0], camera.translation[1], camera.translation[2]);
    }

    drawLampSymbols();
}

void GLWidget::drawAxis() const {
    struct Arm {
        GLfloat color[3];
        GLfloat tip[3];
        GLfloat strokes[2][3];
    };
    static const Arm arms[] = {
        {{1, 0, 0}, {50, 0, 0}, {{45, 0, 5}, {45, 0, -5}}},
        {{0, 1, 0}, {0, 50, 0}, {{0, 45, 5}, {0, 45, -5}}},
        {{0, 0, 1}, {0, 0, 50}, {{0, 5, 45}, {0, -5, 45}}},
    };
    glPushAttrib(GL_ENABLE_BIT | GL_LINE_BIT | GL_CURRENT_BIT);
    glDisable(GL_LIGHTING);
    glLineWidth(2.0f);
    glBegin(GL_LINES);
    for (const Arm& arm : arms) {
        glColor3fv(arm.color);
        glVertex3fv(arm.tip);
        glVertex3f(0.0f, 0.0f, 0.0f);
        for (const auto& stroke : arm.strokes) {
            glVertex3fv(arm.tip);
            glVertex3fv(stroke);
        }
    }
    glEnd();
    glPopAttrib();
}

void GLWidget::drawMarks() const {
    if (!presenter)
        return;
    const std::vector<Util::Vector4D> marks = presenter->getViewInteraction().getMarks();
    if (marks.empty())
        return;
    // Drawn over the surfaces: a point picked on a face would otherwise hide in it.
    glPushAttrib(GL_ENABLE_BIT | GL_LINE_BIT | GL_POINT_BIT | GL_CURRENT_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glColor3f(markColor[0], markColor[1], markColor[2]);
    glLineWidth(2.0f);
    glBegin(GL_LINE_STRIP);
    for (const Util::Vector4D& point : marks)
        glVertex3d(point.x, point.y, point.z);
    glEnd();
    glPointSize(9.0f);
    glBegin(GL_POINTS);
    for (const Util::Vector4D& point : marks)
        glVertex3d(point.x, point.y, point.z);
    glEnd();
    glPopAttrib();
}

void GLWidget::drawLampSymbols() const {
    glPushMatrix();
    glLoadIdentity();
    glPushAttrib(GL_ENABLE_BIT | GL_LINE_BIT | GL_CURRENT_BIT);
    glDisable(GL_LIGHTING);
    // Keep the symbol inside the depth slab, or a far lamp would vanish from the picture.
    const float zLimit = float(0.99 * depthRange / (2.0 * zoom));
    const double step = 2.0 * M_PI / symbolSegments;
    for (int lamp = 1; lamp <= lamps.count; ++lamp) {
        const auto& p = lamps.position[std::size_t(lamp - 1)];
        const float x = p[0];
        const float y = p[1];
        const float z = std::clamp(p[2], -zLimit, zLimit);
        const float g = z / 50.0f + 20.0f;
        const float ring = g / 2.0f - 2.0f;
        if (lamp == lamps.activeLamp)
            glColor3f(1.0f, 1.0f, 0.0f);
        else
            glColor3f(1.0f, 1.0f, 1.0f);

        glBegin(GL_LINE_LOOP);
        for (int s = 0; s < symbolSegments; ++s)
            glVertex3d(x + ring * std::cos(s * step), y + ring * std::sin(s * step), z);
        glEnd();
        glBegin(GL_LINES);
        for (int s = 0; s < symbolSegments; ++s) {
            const double c = std::cos(s * step);
            const double n = std::sin(s * step);
            glVertex3d(x + g / 2.0 * c, y + g / 2.0 * n, z);
            glVertex3d(x + g * c, y + g * n, z);
        }
        glEnd();

        if (std::fabs(x) > g || std::fabs(y) > g) {
            const double distance = std::hypot(x, y);
            const double edge = (distance - ring) / distance;
            glEnable(GL_LINE_STIPPLE);
            glLineStipple(8, 0xAAAA);
            glBegin(GL_LINES);
            glVertex3d(0.0, 0.0, z);
            glVertex3d(x * edge, y * edge, z);
            glEnd();
            glDisable(GL_LINE_STIPPLE);
        }
    }
    glPopAttrib();
    glPopMatrix();
}

QImage GLWidget::grabScene() {
    QImage frame = grabFramebuffer();
    if (frame.isNull())
        return frame;
    // The background is cleared with alpha 0, yet the screen shows it opaque. Keep the colour
    // channels exactly as rendered and make every pixel opaque, as a screenshot is expected
    // to be; converting through the alpha channel would turn the background black.
    frame = frame.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage opaque(frame.size(), QImage::Format_RGB32);
    for (int row = 0; row < frame.height(); ++row) {
        const auto* in = reinterpret_cast<const QRgb*>(frame.constScanLine(row));
        auto* out = reinterpret_cast<QRgb*>(opaque.scanLine(row));
        for (int column = 0; column < frame.width(); ++column)
            out[column] = in[column] | 0xff000000u;
    }
    return opaque;
}

// --- mouse ------------------------------------------------------------------------------

void GLWidget::mousePressEvent(QMouseEvent* event) {
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    Trackball::Mode mode = Trackball::Mode::None;
    clickPending = false;
    if (event->button() == Qt::LeftButton) {
        mode = shift ? Trackball::Mode::AimLamp : Trackball::Mode::Rotate;
        clickPending = !shift;
    } else if (event->button() == Qt::RightButton) {
        mode = shift ? Trackball::Mode::MoveDocument : Trackball::Mode::Pan;
    }
    dragging = true;
    framedAutomatically = false;
    pressPosition = event->pos();
    trackball.press(event->pos(), mode);
    if (mode == Trackball::Mode::AimLamp)
        aimActiveLamp(trackball.getCurrent());
    event->accept();
}

void GLWidget::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging) {
        // A pick that follows the pointer (a destination being chosen) tracks every move.
        if (presenter && !presenter->getSelection().isSelectionMode() &&
            deliverPickedPoint(event->pos(), pointerMoving))
            update();
        return;
    }
    if (event->pos() != pressPosition)
        clickPending = false;
    const QVector3D delta = trackball.moveTo(event->pos());
    switch (trackball.getMode()) {
    case Trackball::Mode::Rotate: {
        const QVector3D last = trackball.getLast();
        const QVector3D current = trackball.getCurrent();
        QVector3D axis;
        float degrees = 0.0f;
        if (Trackball::rotationBetween(trackball.lift(last.x(), last.y()),
                                       trackball.lift(current.x(), current.y()), axis, degrees)) {
            camera.rotate(2.0f * degrees, {axis.x(), axis.y(), axis.z()});
            update();
            emit rotationChanged(toVector(camera.angles.data(), 3));
        }
        break;
    }
    case Trackball::Mode::Pan:
        camera.setViewOffset(camera.viewOffset[0] + delta.x() / zoom,
                             camera.viewOffset[1] + delta.y() / zoom);
        update();
        emit viewPositionChanged(toVector(camera.viewOffset.data(), 2));
        break;
    case Trackball::Mode::MoveDocument: {
        const auto world = camera.toWorld(delta.x() / zoom, delta.y() / zoom);
        for (std::size_t i = 0; i < 3; ++i)
            camera.translation[i] += world[i];
        update();
        emit axisPositionChanged(toVector(camera.translation.data(), 3));
        break;
    }
    case Trackball::Mode::AimLamp:
        aimActiveLamp(trackball.getCurrent());
        break;
    case Trackball::Mode::None:
        break;
    }
    event->accept();
}

void GLWidget::mouseReleaseEvent(QMouseEvent* event) {
    dragging = false;
    trackball.release();
    const bool click = clickPending && event->button() == Qt::LeftButton;
    clickPending = false;
    if (click)
        pickAt(event->pos());
    event->accept();
}

void GLWidget::wheelEvent(QWheelEvent* event) {
    int delta = event->angleDelta().y();
    if (delta == 0)
        delta = event->angleDelta().x();
    if (delta == 0) {
        event->ignore();
        return;
    }
    const double factor = delta > 0 ? 1.0 + delta / 1200.0 : 1.0 / (1.0 - delta / 1200.0);
    framedAutomatically = false;
    if (event->modifiers() & Qt::ShiftModifier) {
        if (lamps.isValid(lamps.activeLamp)) {
            lamps.scaleRadius(lamps.activeLamp, float(factor), delta > 0);
            update();
            emitLampPosition();
        }
    } else {
        // The scene point under the pointer stays under it.
        const float before = zoom;
        zoom = std::clamp(float(zoom * factor), minZoom, maxZoom);
        const QVector3D pointer = trackball.centred(event->position().toPoint());
        const float shift = 1.0f / zoom - 1.0f / before;
        camera.setViewOffset(camera.viewOffset[0] + pointer.x() * shift,
                             camera.viewOffset[1] + pointer.y() * shift);
        update();
        emit viewPositionChanged(toVector(camera.viewOffset.data(), 2));
        emit zoomChanged(zoom * 100.0f);
    }
    event->accept();
}

void GLWidget::aimActiveLamp(const QVector3D& centredPoint) {
    if (!lamps.isValid(lamps.activeLamp))
        return;
    float azimuth = 0.0f;
    float elevation = 0.0f;
    trackball.sphereAngles(centredPoint.x(), centredPoint.y(), azimuth, elevation);
    lamps.setAngles(lamps.activeLamp, azimuth, elevation);
    update();
    emitLampPosition();
}

// --- picking ----------------------------------------------------------------------------

void GLWidget::pickAt(const QPoint& position) {
    if (!presenter || !context() || !isValid())
        return;
    // What the last measurement drew stays until the next pick.
    if (!presenter->getViewInteraction().getMarks().empty()) {
        presenter->getViewInteraction().clearMarks();
        update();
    }
    Core::Operations::Selection& selection = presenter->getSelection();
    if (!selection.isSelectionMode()) {
        if (deliverPickedPoint(position, pickComplete))
            update();
        return;
    }
    const qreal ratio = devicePixelRatioF();
    makeCurrent();
    loadProjection();
    loadModelview();
    const bool changed = selection.pick(int(position.x() * ratio), int(position.y() * ratio));
    doneCurrent();
    if (changed)
        update();
}

bool GLWidget::deliverPickedPoint(const QPoint& position, int state) {
    Core::Operations::ViewInteraction& interaction = presenter->getViewInteraction();
    const Core::Operations::OperationPtr waiting = interaction.getPickingOperation();
    if (!waiting || !context() || !isValid())
        return false;
    Util::Vector4D anchor;
    const bool tracking = interaction.isTracking(&anchor);
    if (state != pickComplete && !tracking)
        return false;

    Point3 point = pointUnder(position, tracking ? &anchor : nullptr);
    if (snapToGrid && grid.spacing > 0.0) {
        point[0] = std::round(point[0] / grid.spacing) * grid.spacing;
        point[1] = std::round(point[1] / grid.spacing) * grid.spacing;
    }
    if (!interaction.deliverPick(Util::Vector4D(point[0], point[1], point[2], 0.0), state))
        return false;
    waiting->step();
    return true;
}

Point3 GLWidget::pointUnder(const QPoint& position, const Util::Vector4D* anchor) {
    const qreal ratio = devicePixelRatioF();
    makeCurrent();
    loadProjection();
    loadModelview();
    GLint viewport[4];
    GLdouble modelview[16];
    GLdouble projection[16];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    const double winX = position.x() * ratio;
    const double winY = viewport[3] - position.y() * ratio - 1.0;
    GLfloat depth = 1.0f;
    if (!anchor)
        glReadPixels(GLint(winX), GLint(winY), 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);

    Point3 point{0.0, 0.0, 0.0};
    if (depth < 1.0f) {
        gluUnProject(winX, winY, depth, modelview, projection, viewport, &point[0], &point[1],
                     &point[2]);
    } else {
        Point3 nearPoint;
        Point3 farPoint;
        gluUnProject(winX, winY, 0.0, modelview, projection, viewport, &nearPoint[0], &nearPoint[1],
                     &nearPoint[2]);
        gluUnProject(winX, winY, 1.0, modelview, projection, viewport, &farPoint[0], &farPoint[1],
                     &farPoint[2]);
        // Following the pointer, or nothing under it: the point on the plane through the
        // anchor, or through the origin (the ground).
        const Point3 through = anchor ? Point3{anchor->x, anchor->y, anchor->z} : Point3{0, 0, 0};
        point = pointOnPointerPlane(nearPoint, farPoint, through);
    }
    doneCurrent();
    return point;
}

} // namespace Ui
