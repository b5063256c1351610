#pragma once

#include <QString>

namespace quindra {

// The slide-in notice window of the main window, captioned "Aviso" with a
// close button; it hides itself after a few seconds.
class Alert {
public:
    virtual ~Alert() = default;
    virtual void setText(const QString& text) = 0;
    virtual QString text() const = 0;
    // Shows the current text.
    virtual void popUp() = 0;
};

}  // namespace quindra
