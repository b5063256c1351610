#pragma once

#include <QSet>
#include <QString>
#include <exception>
#include <functional>

namespace quindra {

class MessageBoxes;

// The default error handler: what a handler does not catch itself is shown
// in the error box, and the program carries on.
class ErrorHandler {
public:
    explicit ErrorHandler(MessageBoxes& boxes) : boxes_(boxes) {}

    // The text as the box shows it: a period is added when the last character
    // sorts after the period.
    static QString boxText(const QString& text);

    void report(const QString& text);
    void report(const std::exception& e);
    // Runs fn; any exception it throws is reported here. True when fn ran
    // through.
    bool guard(const std::function<void()>& fn);

    // While a batch is open, a text already reported in it is not shown again.
    class Batch {
    public:
        explicit Batch(ErrorHandler& h);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        ErrorHandler& h_;
        bool outer_;
    };

private:
    MessageBoxes& boxes_;
    bool batching_ = false;
    QSet<QString> seen_;
};

}  // namespace quindra
