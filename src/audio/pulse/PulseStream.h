#pragma once

#include <pulse/stream.h>

#include <memory>
#include <string>

#include "audio/pulse/PulseConnection.h"

namespace quindra::pulse {

// One playback or record stream on the shared connection, connected and
// running for the life of the object.
class PulseStream {
public:
    // Told on the mainloop thread, with the lock held.
    class Handler {
    public:
        virtual ~Handler() = default;
        // Playback: the server takes `bytes` more.
        virtual void streamWritable(pa_stream*, std::size_t /*bytes*/) {}
        // Record: data waits to be read with pa_stream_peek.
        virtual void streamReadable(pa_stream*, std::size_t /*bytes*/) {}
        // The running stream died (its device went away, the server failed
        // or ended it).
        virtual void streamFailed() = 0;
        // Playback: the server ran out of audio to play.
        virtual void streamUnderflow() {}
        // The device was suspended (true) or runs again (false).
        virtual void streamSuspended(pa_stream*, bool /*suspended*/) {}
    };

    enum class Direction { Playback, Record };

    struct Params {
        Direction direction;
        const char* name;  // shown by the server's clients
        pa_sample_spec sampleSpec;
        pa_buffer_attr buffer;
        std::string device;  // empty: the server's default device
    };

    // Connects and waits (bounded) until the stream runs; throws WaveError.
    PulseStream(PulseConnection& connection, const Params& params, Handler& handler);
    ~PulseStream();
    PulseStream(const PulseStream&) = delete;
    PulseStream& operator=(const PulseStream&) = delete;

    // With the lock held (or inside a callback).
    pa_stream* get() const { return stream_.get(); }
    // Drops what the server holds of this stream, at once.
    void flush();
    // Starts playback even before the prebuffer is full: the end of a short
    // tail must play although nothing follows it.
    void trigger();

private:
    struct StreamUnref {
        void operator()(pa_stream* s) const { pa_stream_unref(s); }
    };

    void onState(pa_stream* s);
    void onWrite(pa_stream* s, std::size_t bytes);
    void onRead(pa_stream* s, std::size_t bytes);
    void onUnderflow(pa_stream* s);
    void onSuspended(pa_stream* s);
    void detach();

    PulseConnection& connection_;
    Handler& handler_;
    std::unique_ptr<pa_stream, StreamUnref> stream_;
    bool running_ = false;  // under the lock: failures before this are the constructor's
};

}  // namespace quindra::pulse
