#include "window/HotKeyEdit.h"

#include <QKeyEvent>

namespace quindra {

HotKeyEdit::HotKeyEdit(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);  // typed characters never land as text
    setText(ShortCutText(key_));
}

void HotKeyEdit::setShortCut(ShortCut key) {
    key_ = key;
    setText(ShortCutText(key_));
}

bool HotKeyEdit::event(QEvent* e) {
    // Tab with a modifier is a combination like any other, not a focus move.
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) &&
            (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            keyPressEvent(k);
            return true;
        }
    }
    return QLineEdit::event(e);
}

void HotKeyEdit::keyPressEvent(QKeyEvent* e) {
    const int key = e->key();
    if (key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
        key == Qt::Key_Meta || key == Qt::Key_AltGr) {
        e->accept();
        return;
    }
    // A keypad key reaches Qt as the digit or sign it types, but it is
    // another key to the grab.
    const auto mods = e->modifiers();
    const std::uint8_t vk = (mods & Qt::KeypadModifier) ? 0 : VirtualKeyFromQtKey(key);
    if (vk == 0) {
        e->ignore();
        return;
    }
    const ShortCut typed = ApplyHotKeyRule(vk, mods & Qt::ShiftModifier, mods & Qt::ControlModifier,
                                           mods & Qt::AltModifier);
    e->accept();
    if (typed == key_)
        return;
    setShortCut(typed);
    emit changed(key_);
}

}  // namespace quindra
