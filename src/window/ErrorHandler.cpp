#include "window/ErrorHandler.h"

#include "core/AppError.h"
#include "window/MessageBoxes.h"

namespace quindra {

QString ErrorHandler::boxText(const QString& text) {
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

void ErrorHandler::report(const QString& text) {
    if (batching_) {
        if (seen_.contains(text))
            return;
        seen_.insert(text);
    }
    boxes_.showError(boxText(text));
}

void ErrorHandler::report(const std::exception& e) {
    report(ErrorText(e));
}

bool ErrorHandler::guard(const std::function<void()>& fn) {
    try {
        fn();
        return true;
    } catch (const std::exception& e) {
        report(e);
    } catch (...) {
        report(QStringLiteral("Erro desconhecido"));
    }
    return false;
}

ErrorHandler::Batch::Batch(ErrorHandler& h) : h_(h), outer_(!h.batching_) {
    h_.batching_ = true;
}

ErrorHandler::Batch::~Batch() {
    if (outer_) {
        h_.batching_ = false;
        h_.seen_.clear();
    }
}

}  // namespace quindra
