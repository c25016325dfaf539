#include "UI/glcapabilities.h"

#include <QLoggingCategory>
#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <QtPlatformHeaders/QGLXNativeContext>

// Xlib macros clash with Qt names, so GLX comes last and stays in this file.
#include <GL/glx.h>

Q_LOGGING_CATEGORY(lcGLCapabilities, "UI/glwidget", QtInfoMsg)

namespace Ui {

namespace {

// Only a GLX context can tell; any other kind of context is taken as direct.
bool isDirectRendering(QOpenGLContext* context) {
    const QVariant handle = context->nativeHandle();
    if (!handle.canConvert<QGLXNativeContext>())
        return true;
    const QGLXNativeContext native = handle.value<QGLXNativeContext>();
    if (!native.display() || !native.context())
        return true;
    return glXIsDirect(native.display(), native.context());
}

} // namespace

void checkGLCapabilities(QOpenGLContext* context) {
    if (!context)
        return;
    const QSurfaceFormat format = context->format();
    if (format.swapBehavior() == QSurfaceFormat::SingleBuffer)
        qCWarning(lcGLCapabilities) << "Could not get double buffer; results will be suboptimal";
    if (format.alphaBufferSize() <= 0)
        qCWarning(lcGLCapabilities) << "Could not get alpha channel; results will be suboptimal";
    if (format.depthBufferSize() <= 0)
        qCWarning(lcGLCapabilities) << "Could not get depth buffer; results will be suboptimal";
    if (format.redBufferSize() <= 0 || format.greenBufferSize() <= 0 ||
        format.blueBufferSize() <= 0)
        qCWarning(lcGLCapabilities) << "Could not get rgba mode; results will be suboptimal";
    if (!isDirectRendering(context))
        qCWarning(lcGLCapabilities) << "Could not get direct rendering; results will be suboptimal";
}

} // namespace Ui
