#pragma once

#include "Util/vector3d.h"
#include "Util/vector4d.h"

#include <atomic>

namespace Model {

// Base of everything a document shows. The id doubles as the OpenGL pick name, so it is
// unique for the whole run and never reused, even after the document is cleared.
class Object {
public:
    Object();
    virtual ~Object() = default;

    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    virtual int getType() const = 0;
    virtual void draw(bool renderObjects, bool renderEdges) = 0;
    virtual void drawForPicking() = 0;
    virtual Object* clone() = 0;
    virtual void translate(Util::Vector4D delta) = 0;
    // Both object kinds accept and ignore this call.
    virtual void rotate(Util::Vector4D, Util::Vector4D) {}
    virtual Util::Vector4D getColor() const;
    virtual Util::Vector3D getOutlineColor() const;
    virtual void setColor(Util::Vector4D color);
    virtual void setOutlineColor(Util::Vector4D color);
    virtual void setSelected(bool selected);
    virtual bool isSelected() const;

    int getId() const { return id; }
    bool isMoving() const { return moving; }
    void setMoving(bool value) { moving = value; }
    Util::Vector3D getPreviewOffset() const { return previewOffset; }
    void setPreviewOffset(Util::Vector3D offset);

    // The id the next constructed object will get; lets callers and tests reason about order.
    static int peekNextId();

protected:
    Util::Vector4D color;
    Util::Vector4D outlineColor;
    int id;
    bool moving = false;
    Util::Vector3D previewOffset;
    bool selected = false;

private:
    static std::atomic<int> nextId;
};

} // namespace Model
