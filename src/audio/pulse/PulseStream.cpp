#include "audio/pulse/PulseStream.h"

#include <pulse/error.h>

#include "audio/pulse/MemberCallback.h"
#include "ports/WaveControl.h"

namespace quindra::pulse {

namespace {

bool finished(pa_stream_state_t s) {
    return s == PA_STREAM_FAILED || s == PA_STREAM_TERMINATED;
}

}  // namespace

PulseStream::PulseStream(PulseConnection& connection, const Params& params, Handler& handler)
    : connection_(connection), handler_(handler) {
    PulseConnection::Lock lock(connection_);
    pa_context* context = connection_.context(lock);

    pa_channel_map map;
    pa_channel_map_init_auto(&map, params.sampleSpec.channels, PA_CHANNEL_MAP_DEFAULT);
    stream_.reset(pa_stream_new(context, params.name, &params.sampleSpec, &map));
    if (!stream_) {
        throw WaveError(QStringLiteral("Não foi possível criar o stream de áudio: %1")
                            .arg(QString::fromUtf8(pa_strerror(pa_context_errno(context)))));
    }
    pa_stream* s = stream_.get();
    pa_stream_set_state_callback(s, memberCallback<&PulseStream::onState>, this);
    pa_stream_set_write_callback(s, memberCallback<&PulseStream::onWrite>, this);
    pa_stream_set_read_callback(s, memberCallback<&PulseStream::onRead>, this);
    pa_stream_set_underflow_callback(s, memberCallback<&PulseStream::onUnderflow>, this);
    pa_stream_set_suspended_callback(s, memberCallback<&PulseStream::onSuspended>, this);

    // A stream bound to a named device dies with it instead of moving to
    // another device: the hold message must not come out of the PC speakers.
    const char* device = params.device.empty() ? nullptr : params.device.c_str();
    const auto flags = device ? PA_STREAM_DONT_MOVE : PA_STREAM_NOFLAGS;
    const int rc =
        params.direction == Direction::Playback
            ? pa_stream_connect_playback(s, device, &params.buffer, flags, nullptr, nullptr)
            : pa_stream_connect_record(s, device, &params.buffer, flags);
    if (rc >= 0) {
        try {
            connection_.wait(
                lock,
                [s] {
                    const auto st = pa_stream_get_state(s);
                    return st == PA_STREAM_READY || finished(st);
                },
                QStringLiteral("abertura do dispositivo de áudio"));
        } catch (const WaveError&) {
            detach();
            throw;
        }
    }
    if (rc < 0 || pa_stream_get_state(s) != PA_STREAM_READY) {
        const QString reason = QString::fromUtf8(pa_strerror(pa_context_errno(context)));
        detach();
        throw WaveError(
            QStringLiteral("Não foi possível abrir o dispositivo de áudio: %1").arg(reason));
    }
    running_ = true;
}

PulseStream::~PulseStream() {
    PulseConnection::Lock lock(connection_);
    detach();
}

void PulseStream::detach() {
    pa_stream* s = stream_.get();
    if (!s)
        return;
    pa_stream_set_state_callback(s, nullptr, nullptr);
    pa_stream_set_write_callback(s, nullptr, nullptr);
    pa_stream_set_read_callback(s, nullptr, nullptr);
    pa_stream_set_underflow_callback(s, nullptr, nullptr);
    pa_stream_set_suspended_callback(s, nullptr, nullptr);
    if (!finished(pa_stream_get_state(s)))
        pa_stream_disconnect(s);
    stream_.reset();
}

// Both are requests whose answer nobody waits for.
void PulseStream::flush() {
    if (pa_operation* op = pa_stream_flush(stream_.get(), nullptr, nullptr))
        pa_operation_unref(op);
}

void PulseStream::trigger() {
    if (pa_operation* op = pa_stream_trigger(stream_.get(), nullptr, nullptr)) {
        pa_operation_unref(op);
    }
}

void PulseStream::onState(pa_stream* s) {
    connection_.signal();
    if (running_ && finished(pa_stream_get_state(s))) {
        running_ = false;
        // A server that goes away takes every stream with it; the connection
        // tells about that. This is the stream's own end (its device left).
        if (pa_context_get_state(pa_stream_get_context(s)) == PA_CONTEXT_READY) {
            handler_.streamFailed();
        }
    }
}

void PulseStream::onWrite(pa_stream* s, std::size_t bytes) {
    handler_.streamWritable(s, bytes);
}

void PulseStream::onRead(pa_stream* s, std::size_t bytes) {
    handler_.streamReadable(s, bytes);
}

void PulseStream::onUnderflow(pa_stream*) {
    if (running_)
        handler_.streamUnderflow();
}

void PulseStream::onSuspended(pa_stream* s) {
    if (running_)
        handler_.streamSuspended(s, pa_stream_is_suspended(s) == 1);
}

}  // namespace quindra::pulse
