// The input side of the USI engine: a byte stream cut into whole lines, and the queue that
// carries them from the reader thread to the main thread.
#include <cstring>

#include "platform/platform.h"
#include "usi/usi.h"

namespace mirabel {

void LineSplitter::Append(const char* data, std::size_t size) {
    if (size > 0) started_ = true;
    if (overlong_) return;
    // One byte past the bound may still be the carriage return of a CRLF line end.
    if (current_.size() + size > MaxLineLength + 1) {
        overlong_ = true;
        std::string().swap(current_);
        return;
    }
    current_.append(data, size);
}

void LineSplitter::EndLine(std::vector<InputLine>& lines) {
    if (!current_.empty() && current_.back() == '\r') current_.pop_back();
    if (current_.size() > MaxLineLength) overlong_ = true;
    InputLine line;
    line.overlong = overlong_;
    if (!overlong_) line.text = std::move(current_);
    lines.push_back(std::move(line));
    current_.clear();
    overlong_ = false;
    started_ = false;
}

void LineSplitter::Feed(const char* data, std::size_t size, std::vector<InputLine>& lines) {
    while (size > 0) {
        const char* end = static_cast<const char*>(std::memchr(data, '\n', size));
        const std::size_t piece = end != nullptr ? static_cast<std::size_t>(end - data) : size;
        Append(data, piece);
        if (end == nullptr) return;
        EndLine(lines);
        data += piece + 1;
        size -= piece + 1;
    }
}

void LineSplitter::Finish(std::vector<InputLine>& lines) {
    if (started_) EndLine(lines);
}

void CommandQueue::Push(InputEvent event) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::move(event));
        arrivals_.fetch_add(1, std::memory_order_release);
    }
    arrived_.notify_one();
}

InputEvent CommandQueue::Pop() {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait(lock, [this] { return !events_.empty(); });
    InputEvent event = std::move(events_.front());
    events_.pop_front();
    return event;
}

void CommandQueue::WaitForArrivalAfter(std::uint64_t seen) {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait(lock, [&] { return arrivals_.load(std::memory_order_relaxed) != seen; });
}

void CommandQueue::TakeWhere(const std::function<bool(const InputEvent&)>& visit) {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = events_.begin(); it != events_.end();)
        it = visit(*it) ? events_.erase(it) : it + 1;
}

void ReadInput(CommandQueue& queue) {
    static char buffer[1 << 16];
    LineSplitter splitter;
    std::vector<InputLine> lines;
    for (;;) {
        const long count = ReadStandardInput(buffer, sizeof buffer);
        if (count <= 0) break;
        splitter.Feed(buffer, static_cast<std::size_t>(count), lines);
        for (InputLine& line : lines)
            queue.Push({line.overlong ? InputEvent::OverlongLine : InputEvent::Line,
                        std::move(line.text)});
        lines.clear();
    }
    splitter.Finish(lines);
    for (InputLine& line : lines)
        queue.Push(
            {line.overlong ? InputEvent::OverlongLine : InputEvent::Line, std::move(line.text)});
    queue.Push({InputEvent::EndOfInput, {}});
}

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    constexpr std::string_view blanks = " \t\r";
    for (std::size_t at = line.find_first_not_of(blanks); at != std::string_view::npos;) {
        const std::size_t end = line.find_first_of(blanks, at);
        words.push_back(line.substr(at, end == std::string_view::npos ? end : end - at));
        at = end == std::string_view::npos ? end : line.find_first_not_of(blanks, end);
    }
    return words;
}

std::string Printable(std::string_view text, std::size_t limit) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (out.size() >= limit) {
            out += "...";
            break;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            static constexpr char Hex[] = "0123456789ABCDEF";
            out += "\\x";
            out += Hex[c >> 4];
            out += Hex[c & 15];
        }
    }
    return out;
}

}  // namespace mirabel
