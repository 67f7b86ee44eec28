#include "runs/run_end_journal.h"

#include "base/number_text.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// What a place holds. A place of zeros (allocated, never written) or one
// that does not read is free.
enum class SlotState { free, open, ended, unrecorded };

struct Slot {
    SlotState state = SlotState::free;
    KeptEnd end; // run and writer for an open place too
};

const char* stateWord(SlotState s) {
    switch (s) {
    case SlotState::open:
        return "open";
    case SlotState::ended:
        return "ended";
    case SlotState::unrecorded:
        return "unrecorded";
    default:
        return "free";
    }
}

// "q7end STATE RUN PID TOKEN OUTCOME ENDED WRITES SEGMENT TEXT", padded
// with spaces to the place's size, the last byte a newline.
std::string slotText(const Slot& s) {
    const KeptEnd& e = s.end;
    std::string line = std::string("q7end ") + stateWord(s.state) + " " + formatWhole(e.run) + " " +
                       formatWhole(e.writer.pid) + " " +
                       (e.writer.token.empty() ? "-" : e.writer.token) + " " +
                       outcomeName(e.outcome) + " " + formatFixed(e.ended, 3) + " " +
                       formatWhole(e.writes) + " " + formatWhole(e.segment) + " ";
    std::string text = e.text;
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    std::size_t room = std::size_t(EndJournal::kSlotBytes) - 1 - line.size();
    if (text.size() > room) {
        // Cut between two characters, never inside one.
        while (room > 0 && (static_cast<unsigned char>(text[room]) & 0xC0) == 0x80)
            --room;
        text.resize(room);
    }
    line += text;
    line.resize(std::size_t(EndJournal::kSlotBytes) - 1, ' ');
    return line + '\n';
}

Slot parseSlot(std::string_view bytes) {
    Slot s;
    const auto nl = bytes.find('\n');
    if (nl == std::string_view::npos) return s;
    std::string_view line = bytes.substr(0, nl);
    std::vector<std::string_view> fields;
    for (int i = 0; i < 9; ++i) {
        const auto space = line.find(' ');
        if (space == std::string_view::npos) return s;
        fields.push_back(line.substr(0, space));
        line.remove_prefix(space + 1);
    }
    const std::string_view state = fields[1];
    SlotState st;
    if (fields[0] != "q7end") return s;
    if (state == "open")
        st = SlotState::open;
    else if (state == "ended")
        st = SlotState::ended;
    else if (state == "unrecorded")
        st = SlotState::unrecorded;
    else
        return s;
    const auto run = parseWhole(fields[2]), pid = parseWhole(fields[3]);
    const auto outcome = outcomeNamed(std::string(fields[5]));
    const auto ended = parseReal(fields[6]);
    const auto writes = parseWhole(fields[7]), segment = parseWhole(fields[8]);
    if (!run || !pid || !outcome || !ended || !writes || !segment) return s;
    s.state = st;
    s.end.run = *run;
    s.end.writer = {*pid, fields[4] == "-" ? "" : std::string(fields[4])};
    s.end.outcome = *outcome;
    s.end.ended = *ended;
    s.end.writes = long(*writes);
    s.end.segment = int(*segment);
    s.end.text = std::string(trimmed(line));
    s.end.unrecorded = st == SlotState::unrecorded;
    return s;
}

// The file, locked while it is held: exclusively to write, shared to read.
class Held {
  public:
    Held(const std::string& path, bool write) {
        struct stat st {};
        const bool existed = ::stat(path.c_str(), &st) == 0;
        fd_ =
            ::open(path.c_str(), write ? O_RDWR | O_CREAT | O_CLOEXEC : O_RDONLY | O_CLOEXEC, 0644);
        if (fd_ < 0) {
            why_ = path + ": " + std::strerror(errno);
            return;
        }
        while (::flock(fd_, write ? LOCK_EX : LOCK_SH) != 0 && errno == EINTR) {
        }
        // A new file's name must outlast a power cut as its contents do.
        if (write && !existed) {
            const auto slash = path.rfind('/');
            const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
            const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (dir >= 0) {
                ::fsync(dir);
                ::close(dir);
            }
        }
    }
    ~Held() {
        if (fd_ >= 0) ::close(fd_); // the lock goes with it
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

    bool ok() const { return fd_ >= 0; }
    const std::string& why() const { return why_; }

    std::vector<Slot> slots() const {
        std::vector<Slot> out;
        struct stat st {};
        if (::fstat(fd_, &st) != 0) return out;
        const long count = long(st.st_size) / EndJournal::kSlotBytes;
        std::string bytes(std::size_t(EndJournal::kSlotBytes), '\0');
        for (long i = 0; i < count; ++i) {
            const ssize_t n =
                ::pread(fd_, bytes.data(), bytes.size(), off_t(i) * EndJournal::kSlotBytes);
            out.push_back(n == ssize_t(bytes.size()) ? parseSlot(bytes) : Slot{});
        }
        return out;
    }

    // The place written and on the disk; why not, else empty.
    std::string put(long slot, const Slot& s) const {
        const std::string text = slotText(s);
        const off_t at = off_t(slot) * EndJournal::kSlotBytes;
        ssize_t n;
        do {
            n = ::pwrite(fd_, text.data(), text.size(), at);
        } while (n < 0 && errno == EINTR);
        if (n != ssize_t(text.size())) return n < 0 ? std::strerror(errno) : "a short write";
        if (::fdatasync(fd_) != 0) return std::strerror(errno);
        return "";
    }

    // One place more at the end, its blocks allocated now.
    std::optional<long> grow(std::string* why) const {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) {
            *why = std::strerror(errno);
            return std::nullopt;
        }
        const long slot = long(st.st_size) / EndJournal::kSlotBytes;
        const int rc =
            ::posix_fallocate(fd_, off_t(slot) * EndJournal::kSlotBytes, EndJournal::kSlotBytes);
        if (rc != 0) {
            *why = std::strerror(rc);
            return std::nullopt;
        }
        return slot;
    }

  private:
    int fd_ = -1;
    std::string why_;
};

} // namespace

std::optional<long> EndJournal::reserve(long long run, std::string* why) {
    Held h(path_, true);
    if (!h.ok()) {
        *why = h.why();
        return std::nullopt;
    }
    const std::vector<Slot> slots = h.slots();
    std::optional<long> slot;
    for (std::size_t i = 0; i < slots.size() && !slot; ++i)
        if (run > 0 && slots[i].state == SlotState::open && slots[i].end.run == run) slot = long(i);
    for (std::size_t i = 0; i < slots.size() && !slot; ++i)
        if (slots[i].state == SlotState::free) slot = long(i);
    if (!slot) slot = h.grow(why);
    if (!slot) {
        *why = path_ + ": " + *why;
        return std::nullopt;
    }
    Slot s;
    s.state = SlotState::open;
    s.end.run = run;
    s.end.writer = thisProcess();
    if (std::string failed = h.put(*slot, s); !failed.empty()) {
        *why = path_ + ": " + failed;
        return std::nullopt;
    }
    return slot;
}

bool EndJournal::assign(long slot, long long run, std::string* why) {
    Held h(path_, true);
    Slot s;
    s.state = SlotState::open;
    s.end.run = run;
    s.end.writer = thisProcess();
    const std::string failed = h.ok() ? h.put(slot, s) : h.why();
    if (!failed.empty() && why) *why = path_ + ": " + failed;
    return failed.empty();
}

bool EndJournal::keep(long* slot, const KeptEnd& end, std::string* why) {
    Held h(path_, true);
    if (!h.ok()) {
        if (why) *why = h.why();
        return false;
    }
    // The place taken as the run opened, unless it was freed since (another
    // process took the run for gone): then a free one, or a new one.
    const std::vector<Slot> slots = h.slots();
    const auto ours = [&](long i) {
        const Slot& s = slots[std::size_t(i)];
        return s.state == SlotState::open && (s.end.run == end.run || s.end.run == 0);
    };
    std::optional<long> at;
    if (*slot >= 0 && std::size_t(*slot) < slots.size() && ours(*slot)) at = *slot;
    for (std::size_t i = 0; i < slots.size() && !at; ++i)
        if (slots[i].state == SlotState::free) at = long(i);
    std::string failed;
    if (!at) at = h.grow(&failed);
    Slot s;
    s.state = end.unrecorded ? SlotState::unrecorded : SlotState::ended;
    s.end = end;
    s.end.writer = thisProcess();
    if (at) failed = h.put(*at, s);
    if (!failed.empty()) {
        if (why) *why = path_ + ": " + failed;
        return false;
    }
    *slot = *at;
    return true;
}

void EndJournal::unrecorded(long slot, long long run) {
    Held h(path_, true);
    if (!h.ok()) return;
    const std::vector<Slot> slots = h.slots();
    if (slot < 0 || std::size_t(slot) >= slots.size()) return;
    Slot s = slots[std::size_t(slot)];
    if (s.state != SlotState::ended || s.end.run != run) return;
    s.state = SlotState::unrecorded;
    h.put(slot, s);
}

void EndJournal::release(long slot, long long run) {
    Held h(path_, true);
    if (!h.ok()) return;
    const std::vector<Slot> slots = h.slots();
    if (slot < 0 || std::size_t(slot) >= slots.size()) return;
    // Only its own: another run may have been given the place since.
    const Slot& s = slots[std::size_t(slot)];
    if (s.state != SlotState::free && s.end.run == run) h.put(slot, Slot{});
}

std::map<long long, KeptEnd> EndJournal::ends() const {
    std::map<long long, KeptEnd> out;
    Held h(path_, false);
    if (!h.ok()) return out;
    for (const Slot& s : h.slots())
        if (s.state == SlotState::ended || s.state == SlotState::unrecorded) out[s.end.run] = s.end;
    return out;
}

void EndJournal::settle(const std::function<bool(const KeptEnd&)>& record,
                        const std::function<bool(long long)>& endedInStore) {
    // Nothing to settle makes no file.
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) return;
    Held h(path_, true);
    if (!h.ok()) return;
    const std::vector<Slot> slots = h.slots();
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const Slot& s = slots[i];
        bool done = false;
        if (s.state == SlotState::open)
            // A run that never got its id belongs to a process that is gone.
            done = s.end.run > 0 ? endedInStore(s.end.run) : !stillRunning(s.end.writer);
        else if (s.state == SlotState::ended || s.state == SlotState::unrecorded)
            // A process that still runs records its own end, unless it could not.
            done =
                (s.state == SlotState::unrecorded || !stillRunning(s.end.writer)) && record(s.end);
        if (done) h.put(long(i), Slot{});
    }
}
