#pragma once

#include <QString>

namespace quindra {

// A modal box with a text and one "OK" button, titled with the application's
// title; without a display the text goes to standard error.
class InfoBox {
public:
    virtual ~InfoBox() = default;
    virtual void showInfo(const QString& text) = 0;
};

}  // namespace quindra
