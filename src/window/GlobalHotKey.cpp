#include "window/GlobalHotKey.h"

namespace quindra {

void GlobalHotKey::setEnabled(bool on) {
    enabled_ = on;
    if (on && !registered_) {
        // A refused grab is not reported: the key then does nothing until a
        // later start registers it.
        registered_ = registrar_.grab(key_, [this] {
            if (onPress)
                onPress();
        });
    } else if (!on && registered_) {
        registrar_.release();
        registered_ = false;
    }
}

}  // namespace quindra
