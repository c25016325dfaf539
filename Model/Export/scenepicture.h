#pragma once

#include "Model/layer.h"

#include <QImage>
#include <QSize>
#include <QString>

namespace Model::Export {

// A picture of a document's objects drawn as the 3D view draws them (their painters, the
// material colours, the view's lights, background and starting rotation) without a window, a
// display or an X server: the GL context comes from EGL on Mesa's surfaceless platform and
// draws into an off-screen buffer. The objects are centred and fill the picture.
//
// Draws what the painters hold; whoever changed cells rebuilds their surfaces first.
class ScenePicture {
public:
    static constexpr int defaultWidth = 1024;
    static constexpr int defaultHeight = 768;
    // Larger pictures are refused rather than asked of the driver.
    static constexpr int maximumSide = 8192;

    // Null, with the reason, when no GL context can be made here.
    static QImage render(const ObjectList& objects, QSize size, QString* problem = nullptr);
};

} // namespace Model::Export
