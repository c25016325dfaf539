#pragma once

#include <memory>
#include <vector>

namespace Util {

class IObserver {
public:
    virtual ~IObserver() = default;
    virtual void update() = 0;
};

using ObserverList = std::vector<std::shared_ptr<IObserver>>;

inline void notifyAll(const ObserverList& observers) {
    // Copy first: an observer may open a dialog whose outcome edits the list it came from.
    const ObserverList snapshot = observers;
    for (const auto& observer : snapshot) {
        if (observer)
            observer->update();
    }
}

} // namespace Util
