#include "window/CaseLineEdit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

namespace quindra {

QString CaseLineEdit::cased(const QString& typed) const {
    return case_ == Case::Upper ? typed.toUpper() : typed.toLower();
}

void CaseLineEdit::keyPressEvent(QKeyEvent* e) {
    const QString typed = e->text();
    const QString wanted = cased(typed);
    if (typed.isEmpty() || wanted == typed)
        return QLineEdit::keyPressEvent(e);
    QKeyEvent recased(e->type(), e->key(), e->modifiers(), e->nativeScanCode(),
                      e->nativeVirtualKey(), e->nativeModifiers(), wanted, e->isAutoRepeat(),
                      static_cast<quint16>(e->count()));
    QLineEdit::keyPressEvent(&recased);
    e->setAccepted(recased.isAccepted());
}

void CaseLineEdit::inputMethodEvent(QInputMethodEvent* e) {
    const QString committed = e->commitString();
    const QString wanted = cased(committed);
    if (committed.isEmpty() || wanted == committed)
        return QLineEdit::inputMethodEvent(e);
    QInputMethodEvent recased(e->preeditString(), e->attributes());
    recased.setCommitString(wanted, e->replacementStart(), e->replacementLength());
    QLineEdit::inputMethodEvent(&recased);
    e->setAccepted(recased.isAccepted());
}

}  // namespace quindra
