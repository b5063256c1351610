#pragma once

#include <QString>
#include <exception>
#include <string>

namespace quindra {

// A failure whose text is shown to the operator as it stands.
class AppError : public std::exception {
public:
    explicit AppError(QString text) : text_(std::move(text)), utf8_(text_.toStdString()) {}
    const QString& text() const { return text_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    QString text_;
    std::string utf8_;
};

// The operator-facing text of any exception.
inline QString ErrorText(const std::exception& e) {
    if (auto* app = dynamic_cast<const AppError*>(&e))
        return app->text();
    return QString::fromLocal8Bit(e.what());
}

}  // namespace quindra
