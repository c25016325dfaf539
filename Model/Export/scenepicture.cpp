#include "Model/Export/scenepicture.h"

#include "Model/Automaton/scenestyle.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/colorscheme.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <QMatrix4x4>
#include <QVector3D>
#include <qopengl.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

namespace Model::Export {

namespace {

// An EGL display, context and off-screen surface of one size, current on this thread for the
// lifetime of the object.
class OffscreenContext {
public:
    OffscreenContext(int width, int height) {
        display = surfacelessDisplay();
        if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
            problem = QStringLiteral("EGL could not be initialised (error 0x%1).")
                          .arg(eglGetError(), 0, 16);
            display = EGL_NO_DISPLAY;
            return;
        }
        // Drawing is fixed-function GL 1.x: desktop GL with the compatibility profile.
        if (!eglBindAPI(EGL_OPENGL_API)) {
            problem = QStringLiteral("EGL offers no desktop OpenGL here.");
            return;
        }
        const EGLint configAttributes[] = {EGL_SURFACE_TYPE,
                                           EGL_PBUFFER_BIT,
                                           EGL_RENDERABLE_TYPE,
                                           EGL_OPENGL_BIT,
                                           EGL_RED_SIZE,
                                           8,
                                           EGL_GREEN_SIZE,
                                           8,
                                           EGL_BLUE_SIZE,
                                           8,
                                           EGL_ALPHA_SIZE,
                                           8,
                                           EGL_DEPTH_SIZE,
                                           24,
                                           EGL_NONE};
        EGLConfig config = nullptr;
        EGLint configs = 0;
        if (!eglChooseConfig(display, configAttributes, &config, 1, &configs) || configs < 1) {
            problem = QStringLiteral("EGL offers no off-screen buffer with colour and depth.");
            return;
        }
        const EGLint contextAttributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                            EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
        context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
        const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
        if (context != EGL_NO_CONTEXT)
            surface = eglCreatePbufferSurface(display, config, surfaceAttributes);
        if (surface == EGL_NO_SURFACE || !eglMakeCurrent(display, surface, surface, context)) {
            problem = QStringLiteral("No OpenGL context could be made (EGL error 0x%1).")
                          .arg(eglGetError(), 0, 16);
            return;
        }
        current = true;
    }

    ~OffscreenContext() {
        if (display == EGL_NO_DISPLAY)
            return;
        if (current)
            eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (surface != EGL_NO_SURFACE)
            eglDestroySurface(display, surface);
        if (context != EGL_NO_CONTEXT)
            eglDestroyContext(display, context);
        eglTerminate(display);
    }

    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;

    bool isCurrent() const { return current; }
    const QString& getProblem() const { return problem; }

private:
    // Mesa's surfaceless platform needs no display server; other drivers get their default.
    static EGLDisplay surfacelessDisplay() {
        const auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
            eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (getPlatformDisplay) {
            const EGLDisplay found =
                getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
            if (found != EGL_NO_DISPLAY)
                return found;
        }
        return eglGetDisplay(EGL_DEFAULT_DISPLAY);
    }

    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    EGLSurface surface = EGL_NO_SURFACE;
    bool current = false;
    QString problem;
};

// The view's starting rotation, as Camera::apply() loads it.
QMatrix4x4 startRotation() {
    const auto& angles = Automaton::SceneStyle::startAngles;
    QMatrix4x4 rotation;
    rotation.rotate(angles[0], 1.0f, 0.0f, 0.0f);
    rotation.rotate(angles[1], 0.0f, 1.0f, 0.0f);
    rotation.rotate(angles[2], 0.0f, 0.0f, 1.0f);
    return rotation;
}

struct Box {
    QVector3D lower{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                    std::numeric_limits<float>::max()};
    QVector3D upper{-std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                    -std::numeric_limits<float>::max()};
    bool isEmpty() const { return lower.x() > upper.x(); }
    void add(const QVector3D& point) {
        for (int axis = 0; axis < 3; ++axis) {
            lower[axis] = std::min(lower[axis], point[axis]);
            upper[axis] = std::max(upper[axis], point[axis]);
        }
    }
};

// The cell volumes' extent in the scene.
Box sceneBox(const ObjectList& objects) {
    Box box;
    for (const ObjectPtr& object : objects) {
        const auto* volume = dynamic_cast<const Automaton::TotalVolume*>(object.get());
        if (!volume)
            continue;
        const Util::Vector3D p = volume->getPosition();
        const QVector3D corner(float(p.x), float(p.y), float(p.z));
        box.add(corner);
        box.add(corner + QVector3D(float(volume->getSizeX()) * volume->getCellSizeX(),
                                   float(volume->getSizeY()) * volume->getCellSizeY(),
                                   float(volume->getSizeZ()) * volume->getCellSizeZ()));
    }
    return box;
}

// Projection and modelview that put the box, turned as the view starts, in the middle of
// the picture with a margin, keeping the picture's aspect ratio.
void loadView(const Box& box, const QSize& size) {
    const QMatrix4x4 rotation = startRotation();
    const QVector3D centre = (box.lower + box.upper) / 2.0f;
    Box eye;
    for (int corner = 0; corner < 8; ++corner) {
        const QVector3D point((corner & 1) ? box.upper.x() : box.lower.x(),
                              (corner & 2) ? box.upper.y() : box.lower.y(),
                              (corner & 4) ? box.upper.z() : box.lower.z());
        eye.add(rotation.map(point - centre));
    }
    const double aspect = double(size.width()) / size.height();
    double halfWidth = std::max(double(eye.upper.x()), -double(eye.lower.x())) * 1.1;
    double halfHeight = std::max(double(eye.upper.y()), -double(eye.lower.y())) * 1.1;
    halfWidth = std::max({halfWidth, halfHeight * aspect, 1.0});
    halfHeight = halfWidth / aspect;
    const double depth = std::max(double(eye.upper.z()), -double(eye.lower.z())) * 1.1 + 1.0;

    glViewport(0, 0, size.width(), size.height());
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-halfWidth, halfWidth, -halfHeight, halfHeight, -depth, depth);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // The lamp keeps its direction from the eye, and stands clear of the structure.
    const double radius = std::max(double(Automaton::SceneStyle::lampRadius), 2.0 * depth);
    const auto lamp = Automaton::SceneStyle::lampPosition(
        radius, Automaton::SceneStyle::lampAzimuth, Automaton::SceneStyle::lampElevation);
    glLightfv(GL_LIGHT0, GL_POSITION, lamp.data());
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glMultMatrixf(rotation.constData());
    glTranslatef(-centre.x(), -centre.y(), -centre.z());
}

QImage drawOffscreen(const ObjectList& objects, QSize size, QString& problem) {
    const OffscreenContext context(size.width(), size.height());
    if (!context.isCurrent()) {
        problem = context.getProblem();
        return QImage();
    }

    Automaton::SceneStyle::applyFixedState();
    const Util::Vector4D background =
        Util::ColorScheme::activeColor(Util::ColorScheme::BackgroundColor);
    glClearColor(GLclampf(background.x), GLclampf(background.y), GLclampf(background.z), 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const Box box = sceneBox(objects);
    if (!box.isEmpty()) {
        loadView(box, size);
        for (const ObjectPtr& object : objects)
            object->draw(true, false);
    }
    glFinish();

    QImage image(size, QImage::Format_RGBA8888);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, size.width(), size.height(), GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    if (glGetError() != GL_NO_ERROR) {
        problem = QStringLiteral("The picture could not be read back from OpenGL.");
        return QImage();
    }
    // GL counts rows from the bottom; the picture is opaque like the view's.
    return image.mirrored().convertToFormat(QImage::Format_RGB32);
}

} // namespace

QImage ScenePicture::render(const ObjectList& objects, QSize size, QString* problem) {
    const auto fail = [problem](const QString& why) {
        if (problem)
            *problem = why;
        return QImage();
    };
    if (size.width() < 1 || size.height() < 1 || size.width() > maximumSide ||
        size.height() > maximumSide)
        return fail(
            QStringLiteral("A picture must be 1 to %1 pixels wide and high.").arg(maximumSide));
    // On a thread of its own: a thread may hold one kind of GL context only, and the caller's
    // thread may have the window's current.
    QImage picture;
    QString why;
    std::thread([&] { picture = drawOffscreen(objects, size, why); }).join();
    return picture.isNull() ? fail(why) : picture;
}

} // namespace Model::Export
