#include "Model/object.h"

#include "Util/colorscheme.h"

namespace Model {

std::atomic<int> Object::nextId{0};

Object::Object()
    : color(Util::ColorScheme::color(Util::ColorScheme::DefaultObjectColor,
                                     Util::ColorScheme::Default)),
      outlineColor(Util::ColorScheme::color(Util::ColorScheme::DefaultObjectOutlineColor,
                                            Util::ColorScheme::Default)),
      id(nextId.fetch_add(1)) {}

Util::Vector4D Object::getColor() const { return color; }

Util::Vector3D Object::getOutlineColor() const { return Util::Vector3D(outlineColor); }

void Object::setColor(Util::Vector4D value) { color.copy(value); }

void Object::setOutlineColor(Util::Vector4D value) { outlineColor.copy(value); }

void Object::setSelected(bool value) { selected = value; }

bool Object::isSelected() const { return selected; }

void Object::setPreviewOffset(Util::Vector3D offset) { previewOffset.copy3(offset); }

int Object::peekNextId() { return nextId.load(); }

} // namespace Model
