#include "audio/pulse/ReadAhead.h"

#include <algorithm>
#include <memory>

#include "audio/pulse/FileDecoder.h"
#include "ports/WaveControl.h"

namespace quindra::pulse {

namespace {

constexpr std::size_t kBlockFrames = 4096;

}  // namespace

ReadAhead::ReadAhead(std::size_t aheadFrames, Failed failed)
    : aheadFrames_(std::max(aheadFrames, 2 * kBlockFrames)),
      failed_(std::move(failed)),
      thread_([this] { run(); }) {}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void ReadAhead::start(const QString& path, int rate, int channels, std::uint64_t session) {
    {
        std::lock_guard lock(mutex_);
        wanted_ = session;
        path_ = path;
        rate_ = rate;
        channels_ = channels;
        ring_.assign(aheadFrames_ * static_cast<std::size_t>(channels), 0);
        head_ = size_ = 0;
        written_ = read_ = 0;
        passEnds_.clear();
    }
    wake_.notify_all();
}

void ReadAhead::stop() {
    {
        std::lock_guard lock(mutex_);
        wanted_ = 0;
        head_ = size_ = 0;
        passEnds_.clear();
    }
    wake_.notify_all();
}

ReadAhead::Taken ReadAhead::take(std::int16_t* out, std::size_t frames) {
    Taken taken;
    {
        std::lock_guard lock(mutex_);
        taken.session = wanted_;
        const auto ch = static_cast<std::size_t>(channels_);
        const std::size_t n = std::min(frames * ch, size_);
        const std::size_t first = std::min(n, ring_.size() - head_);
        std::copy_n(ring_.begin() + static_cast<std::ptrdiff_t>(head_), first, out);
        std::copy_n(ring_.begin(), n - first, out + first);
        head_ = (head_ + n) % std::max<std::size_t>(ring_.size(), 1);
        size_ -= n;
        taken.frames = n / ch;
        read_ += taken.frames;
        while (!passEnds_.empty() && passEnds_.front() <= read_) {
            passEnds_.pop_front();
            ++taken.passEnds;
        }
    }
    if (taken.frames > 0)
        wake_.notify_all();
    return taken;
}

std::size_t ReadAhead::freeFrames() const {
    return (ring_.size() - size_) / static_cast<std::size_t>(channels_);
}

void ReadAhead::append(const std::int16_t* in, std::size_t frames) {
    const std::size_t n = frames * static_cast<std::size_t>(channels_);
    const std::size_t tail = (head_ + size_) % ring_.size();
    const std::size_t first = std::min(n, ring_.size() - tail);
    std::copy_n(in, first, ring_.begin() + static_cast<std::ptrdiff_t>(tail));
    std::copy_n(in + first, n - first, ring_.begin());
    size_ += n;
    written_ += frames;
}

// The decoder belongs to this thread alone: start() and stop() only say what
// is wanted, so nothing is ever freed under the decoder's feet.
void ReadAhead::run() {
    std::unique_ptr<FileDecoder> decoder;
    std::uint64_t current = 0;  // the session the decoder serves
    std::vector<std::int16_t> block;
    std::uint64_t passFrames = 0;
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (wanted_ != current) {
            current = wanted_;
            const QString path = path_;
            const int rate = rate_;
            const int channels = channels_;
            lock.unlock();
            decoder.reset();
            QString error;
            std::unique_ptr<FileDecoder> opened;
            if (current != 0) {
                try {
                    opened = std::make_unique<FileDecoder>(path, rate, channels);
                } catch (const WaveError& e) {
                    error = e.text();
                }
            }
            block.resize(kBlockFrames * static_cast<std::size_t>(channels));
            lock.lock();
            if (wanted_ != current)
                continue;  // asked for something else meanwhile
            decoder = std::move(opened);
            passFrames = 0;
            if (current != 0 && !decoder) {
                lock.unlock();
                failed_(current, error);
                lock.lock();
            }
            continue;
        }
        if (!decoder || freeFrames() < kBlockFrames) {
            wake_.wait(lock);
            continue;
        }
        lock.unlock();
        const std::size_t n = decoder->read(block.data(), kBlockFrames);
        const bool passEnd = decoder->ended();
        QString error;
        if (passEnd) {
            if (passFrames + n == 0) {
                error = QStringLiteral("O arquivo de áudio não contém som: ") + decoder->path();
            } else {
                try {
                    decoder->rewind();
                } catch (const WaveError& e) {
                    error = e.text();
                }
            }
        }
        lock.lock();
        if (wanted_ != current)
            continue;
        append(block.data(), n);
        passFrames += n;
        if (passEnd) {
            passEnds_.push_back(written_);
            passFrames = 0;
        }
        if (!error.isEmpty()) {
            decoder.reset();
            lock.unlock();
            failed_(current, error);
            lock.lock();
        }
    }
}

}  // namespace quindra::pulse
