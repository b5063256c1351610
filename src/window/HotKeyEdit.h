#pragma once

#include <QLineEdit>

#include "core/ShortCut.h"

namespace quindra {

// The hot-key entry: takes the next key combination pressed in it. A key
// alone or with Shift alone becomes Alt with the key; a key outside the
// hot-key table is refused, since the grab could not register it.
class HotKeyEdit final : public QLineEdit {
    Q_OBJECT
public:
    explicit HotKeyEdit(QWidget* parent = nullptr);

    ShortCut shortCut() const { return key_; }
    // Shows a combination; only a key pressed in the field emits changed().
    void setShortCut(ShortCut key);

signals:
    void changed(quint16 key);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    bool event(QEvent* e) override;

private:
    ShortCut key_ = kDefaultHotKey;
};

}  // namespace quindra
