#pragma once

#include "UI/camera.h"
#include "UI/grid.h"
#include "UI/lampset.h"
#include "UI/pointerplane.h"
#include "UI/trackball.h"
#include "Util/vector4d.h"

#include <QImage>
#include <QOpenGLWidget>

#include <set>
#include <vector>

class QShortcut;

namespace Ui {

class MainWindowPresenter;

// The 3D view: draws the document with an orthographic projection in legacy OpenGL, with a
// ground grid, an axis cross and lamp symbols; the mouse rotates, pans, moves the document and
// aims lamps, the wheel zooms, and a click without movement picks.
class GLWidget : public QOpenGLWidget {
    Q_OBJECT
public:
    // `presenter` is not owned and may be null (then the view draws only its own furniture).
    GLWidget(QWidget* parent, MainWindowPresenter* presenter);
    ~GLWidget() override;

    const Camera& getCamera() const { return camera; }
    LampSet& getLamps() { return lamps; }
    const LampSet& getLamps() const { return lamps; }
    float getZoom() const { return zoom; }
    int getDepthRange() const { return depthRange; }
    const Grid& getGrid() const { return grid; }
    double getGridSpacing() const { return grid.spacing; }
    bool isAxisShown() const { return showAxis; }
    bool isLighting() const { return lighting; }
    bool isRenderingObjects() const { return renderObjects; }
    bool isRenderingEdges() const { return renderEdges; }
    bool isGridShown() const { return showGrid; }
    bool isSnappingToGrid() const { return snapToGrid; }

    void setRotationAngles(float x, float y, float z);
    // zoom = 1/value; a value that is not positive is ignored.
    void setZoom(float value);
    void setViewOffset(float x, float y);
    void setTranslation(float x, float y, float z);
    void setShowAxis(bool show);
    void setLighting(bool on);
    void setRenderObjects(bool on);
    void setRenderEdges(bool on);
    void setShowGrid(bool show);
    void setSnapToGrid(bool on);
    void setGridSpacing(double spacing);
    void setLamps(const LampSet& newLamps);
    // "front", "back", "left", "right", "top" or "bottom"; false (and no change) otherwise.
    bool setNamedView(const QString& name);

    // The picture as the screen shows it: rendered now, background opaque. Null when no GL
    // context could be created.
    QImage grabScene();

    // The colour of the points and line a measurement leaves in the view.
    static constexpr float markColor[3] = {1.0f, 0.0f, 1.0f};

signals:
    void rotationChanged(std::vector<float> vector3d);
    void axisPositionChanged(std::vector<float> vector3d);
    void viewPositionChanged(std::vector<float> vector2d);
    void zoomChanged(float value);
    void lampPositionChanged(std::vector<float> vector4d);

public slots:
    void increaseTranslateX();
    void increaseTranslateY();
    void increaseTranslateZ();
    void decreaseTranslateX();
    void decreaseTranslateY();
    void decreaseTranslateZ();
    void swithActiveLamp();
    // Redraw; the update observer calls this after every change of the document. A cell volume
    // the view has not shown before has the view framed on the document's volumes, so a new
    // substrate or an opened document is in sight and fills it.
    void updateGL();

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    static constexpr int pickComplete = 0;
    static constexpr int pointerMoving = 1;

    void createShortcuts(QWidget* owner);
    void translateDocument(int axis, float amount);
    void loadProjection() const;
    void loadModelview() const;
    void drawAxis() const;
    void drawLampSymbols() const;
    void drawMarks() const;
    void aimActiveLamp(const QVector3D& centredPoint);
    void pickAt(const QPoint& position);
    // Hands the point under the pointer to the operation waiting for a pick. `state` 0
    // completes the pick (a click); pointerMoving only feeds picks that follow the pointer.
    bool deliverPickedPoint(const QPoint& position, int state);
    // The scene point under the pointer: on the drawn surface, or, with an anchor (or over
    // empty background), on the plane the pick slides on.
    Point3 pointUnder(const QPoint& position, const Util::Vector4D* anchor);
    void emitLampPosition();
    // Centres the document's cell volumes on the axes and zooms so that they fill the view
    // whatever its rotation; false when there are none.
    bool frameVolumes();
    // A view the user (or a named view) sets is kept: the volumes there now count as shown.
    void keepViewForShownVolumes();

    Camera camera;
    LampSet lamps;
    float zoom = 1.0f;
    int depthRange = 0;
    bool showAxis = true;
    bool lighting = true;
    bool renderObjects = true;
    bool renderEdges = false;
    bool showGrid = false;
    bool snapToGrid = false;
    Grid grid;
    Trackball trackball;
    bool dragging = false;
    bool clickPending = false;
    QPoint pressPosition;
    MainWindowPresenter* presenter;
    std::vector<QShortcut*> shortcuts;
    // The ids of the cell volumes drawn so far.
    std::set<int> shownVolumes;
    // The view is as the last framing left it; a resize then frames again.
    bool framedAutomatically = false;
};

} // namespace Ui
