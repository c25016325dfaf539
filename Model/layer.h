#pragma once

#include "Model/object.h"

#include <memory>
#include <vector>

namespace Model {

using ObjectPtr = std::shared_ptr<Object>;
using ObjectList = std::vector<ObjectPtr>;

// One ordered list of objects; the document draws and searches layers in order.
class Layer {
public:
    void append(const ObjectPtr& object) { objects.push_back(object); }
    void remove(const ObjectPtr& object);
    const ObjectList& getObjects() const { return objects; }

private:
    ObjectList objects;
};

} // namespace Model
