#include "Model/layer.h"

#include <algorithm>

namespace Model {

void Layer::remove(const ObjectPtr& object) {
    objects.erase(std::remove(objects.begin(), objects.end(), object), objects.end());
}

} // namespace Model
