#pragma once

#include <QString>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quindra::pulse {

// Decodes the message on a thread of its own, a few seconds ahead of the
// stream, and loops it: when the file ends, its next pass follows at once in
// the same buffer. Opening the file (for an MP3 without a length tag that
// means reading all of it), decoding and converting happen on that thread,
// never on the UI thread nor under the sound server's lock; the stream only
// copies what is ready. So the line never waits for the UI thread.
class ReadAhead {
public:
    // Called on the decoding thread: the file of `session` could not be
    // opened, or could not be read again for its next pass.
    using Failed = std::function<void(std::uint64_t session, const QString& error)>;

    ReadAhead(std::size_t aheadFrames, Failed failed);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The buffer now holds `path` from its beginning, in `rate` and
    // `channels`, looping; whatever it held before is dropped. A rate of 0
    // keeps the file's own.
    void start(const QString& path, int rate, int channels, std::uint64_t session);
    // Drops the buffer and decodes nothing more.
    void stop();

    struct Taken {
        std::size_t frames = 0;     // frames copied
        int passEnds = 0;           // passes whose last frame was among them
        std::uint64_t session = 0;  // what they belong to; 0 when stopped
    };
    // From any thread; never waits for decoding. Copies up to `frames` of
    // the frames that are ready.
    Taken take(std::int16_t* out, std::size_t frames);

private:
    void run();
    std::size_t freeFrames() const;
    void append(const std::int16_t* in, std::size_t frames);

    const std::size_t aheadFrames_;
    const Failed failed_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool quit_ = false;
    std::uint64_t wanted_ = 0;  // the session asked for; 0 when stopped
    QString path_;
    int rate_ = 0;
    int channels_ = 1;
    std::vector<std::int16_t> ring_;      // aheadFrames_ frames
    std::size_t head_ = 0;                // first ready sample
    std::size_t size_ = 0;                // ready samples
    std::uint64_t written_ = 0;           // frames of this session buffered so far
    std::uint64_t read_ = 0;              // frames of this session taken so far
    std::deque<std::uint64_t> passEnds_;  // frame counts at which a pass ends

    std::thread thread_;  // last: it starts once every member above exists
};

}  // namespace quindra::pulse
