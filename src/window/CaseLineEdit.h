#pragma once

#include <QLineEdit>

namespace quindra {

// A text field that turns the letters typed into it to one case. Only what
// is typed (or composed, as "´" then "a") changes: the text already in the
// field, as stored or as set by the program, is left as it is.
class CaseLineEdit final : public QLineEdit {
    Q_OBJECT
public:
    enum class Case { Upper, Lower };
    CaseLineEdit(Case c, QWidget* parent = nullptr) : QLineEdit(parent), case_(c) {}

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;

private:
    QString cased(const QString& typed) const;

    Case case_;
};

}  // namespace quindra
