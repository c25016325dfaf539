#pragma once

class QOpenGLContext;

namespace Ui {

// Logs a warning for every capability the view asked for and the context lacks. Drawing
// goes on regardless; the warnings only explain a poorer picture.
void checkGLCapabilities(QOpenGLContext* context);

} // namespace Ui
