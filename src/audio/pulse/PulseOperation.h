#pragma once

#include <pulse/operation.h>

namespace quindra::pulse {

// Owns one pending server request. Destroyed with the mainloop lock held: an
// unfinished request is cancelled first, so its callback never runs against
// an object that is gone.
class PulseOperation {
public:
    explicit PulseOperation(pa_operation* op) : op_(op) {}
    ~PulseOperation() {
        if (!op_)
            return;
        if (pa_operation_get_state(op_) == PA_OPERATION_RUNNING)
            pa_operation_cancel(op_);
        pa_operation_unref(op_);
    }
    PulseOperation(const PulseOperation&) = delete;
    PulseOperation& operator=(const PulseOperation&) = delete;

    bool valid() const { return op_ != nullptr; }

private:
    pa_operation* op_;
};

}  // namespace quindra::pulse
