#pragma once
// One line: its port object, opened on a COM number and closed by the line
// alone (serial_service.h), how it stands, the busy guard, what belongs to the wire (its
// counts, and the replies still awaited that a later request must not take
// for its own), and whoever listens to it. Requests go through it only:
// transfer.h for reads and writes, transaction.h for the guard and the
// settle time around them. It knows no panel; what happens to the line goes
// up as line events and every frame to the frame observers. The controllers
// on it, each with its own health, are controller.h's.
#include "base/clock.h"
#include "link/exchange.h"
#include "link/frame_observers.h"
#include "link/line_events.h"
#include "link/line_framing.h"
#include "link/observer_list.h"
#include "link/retry_policy.h"
#include "link/transfer_pace.h"
#include "serial/serial_service.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class Line {
  public:
    uint16_t comPort() const { return comPort_; }
    int32_t baudRate() const { return baudRate_; }
    // 0 no parity, 1 odd, 2 even; 1 or 2 stop bits (no parity and 2 unless
    // the saved settings say otherwise).
    int32_t parity() const { return parity_; }
    int32_t stopBits() const { return stopBits_; }
    // The port opened and the probe did not fail since.
    bool linkUp() const { return linkUp_; }
    // What opening the port gave (negative: it did not open); -1 after a
    // failed probe or a lost line.
    int32_t portStatus() const { return portStatus_; }
    // The connected port's device went away (unplugged, failed) and no port
    // has been opened since.
    bool lineLost() const { return lineLost_; }
    // How the line frames its requests, as the port it opened last reaches
    // its controllers (RTU until a port opened).
    LineFraming framing() const { return framing_->framing(); }
    // The line's own port: open while the line is connected, or after a
    // failed probe until the line closes it. Whoever reads or sets it
    // directly holds the busy guard (transaction.h).
    ComPort& port() { return port_; }
    const ComPort& port() const { return port_; }
    // The port is open and its device still there.
    bool portUsable() const { return port_.isOpen() && !port_.lost(); }
    // A transaction owns the line.
    bool busy() const { return guardOwner_.load() != std::thread::id(); }

    // The connection's settings.
    void setComPort(uint16_t port);
    void setBaudRate(int32_t baud) { baudRate_ = baud; }
    void setCharacterFrame(int32_t parity, int32_t stopBits);

    // Opens comPort at baudRate (8 data bits, the parity and stop bits set,
    // no flow control, retry::kReplyTimeout) and pauses retry::kOpenPause.
    // Takes the framing the port's endpoint speaks. Returns portStatus. A
    // port that does not open takes the link down (a `disconnected` line
    // event when it was up).
    int32_t open();
    // What a probe of the controller found (controller.h): an answer tells
    // the listeners `connected`; none takes the link down (the port stays
    // open) and tells them `disconnected`.
    void noteProbe(bool answered);
    // Closes the port if the link is up, and takes the link down.
    void close();
    // Closes the port whatever the link's state (the line is done with it).
    void release();

    // Start-up values again, the port closed: the program's start, and every test.
    void reset();

    // Writes the completed request, pauses retry::kRequestPause and reads
    // replyLength bytes, stopping early at a whole exception reply. While
    // the reply of an earlier request is still awaited, a different request
    // waits until the line is clean, reading and dropping what comes; the
    // same request again reads on until the line is quiet and takes the
    // frame at the end (rtu_framing.h). On a Modbus TCP line the reply is
    // taken by its transaction id instead (mbap_line.h). Judges the reply,
    // tells the send and frame observers, and a lost line as a line event;
    // silence is the asking controller's to note (controller_health.h).
    ExchangeResult exchange(const Frame& request, int replyLength, FlushFirst flush, int attempt);
    // Discards what the port has received: whatever reply was due before now
    // is read or gone.
    void flushReplies();
    // Discards both queues when the settle says so, then rests its time.
    void settle(Settle s);

    // A reply that missed its request may still land: forgotten once the
    // line was read until quiet.
    void forgetAwaited() { framing_->inputQuiet(); }

    // What went over the wire, whoever it was for.
    struct Counts {
        uint64_t exchanges = 0;          // requests sent and their replies read
        uint64_t lateBytesDiscarded = 0; // late answers read and dropped
        uint64_t reconnections = 0;      // new connections after a stream lost its framing
    };
    Counts counts() const { return {exchanges_, lateBytesDiscarded_, reconnections_}; }

    // The busy guard (transaction.h): waits while another thread holds it,
    // woken as it is dropped; the thread that holds it may take it again.
    void takeGuard();
    void dropGuard();
    // Threads waiting for the guard now.
    int guardWaiters() const { return guardWaiters_.load(); }

    // Observers run on the thread that made the exchange, right after it;
    // they must not wait on the line. Each add returns a handle to remove it.
    int addFrameObserver(FrameObserver o) { return frames_.add(std::move(o)); }
    void removeFrameObserver(int handle) { frames_.remove(handle); }
    // Told as a request goes out, before its reply is read.
    int addSendObserver(FrameObserver o) { return sends_.add(std::move(o)); }
    void removeSendObserver(int handle) { sends_.remove(handle); }
    bool anyFrameObserver() const { return frames_.any() || sends_.any(); }
    int addLineObserver(LineObserver o) { return lineEvents_.add(std::move(o)); }
    void removeLineObserver(int handle) { lineEvents_.remove(handle); }
    void reportLineEvent(LineEvent event, int comPort) { lineEvents_.report(event, comPort); }

    // Whoever shows a long transfer watches it (transfer_pace.h). Set and
    // used on the thread that runs the transfers.
    void setTransferWatcher(TransferWatcher watcher) { watcher_ = std::move(watcher); }
    bool transferMayGoOn(int done, int total) const { return !watcher_ || watcher_(done, total); }

  private:
    void noteLost(int port);

    ComPort port_;

    std::atomic<uint16_t> comPort_{0};
    // Kept wider than the 16 bits the line settings file historically held:
    // 57600 and 115200 must survive a save and a restore.
    std::atomic<int32_t> baudRate_{19200};
    // The character frame besides 8 data bits: parity 0 none, 1 odd, 2 even.
    std::atomic<int32_t> parity_{0};
    std::atomic<int32_t> stopBits_{2};
    std::atomic<bool> linkUp_{false};
    // The connected port's device went away; cleared when a port opens again.
    std::atomic<bool> lineLost_{false};
    std::atomic<int32_t> portStatus_{0};
    std::mutex guardMutex_;
    std::condition_variable guardFree_;
    // Set under guardMutex_; read without it only to see whether this
    // thread is the owner, which no other thread can make true or false.
    std::atomic<std::thread::id> guardOwner_{};
    int guardDepth_ = 0; // the owner's alone
    std::atomic<int> guardWaiters_{0};
    // RTU or Modbus TCP, with the replies each still awaits. Replaced under
    // the busy guard, and only when a port of the other kind opens.
    std::unique_ptr<LineFramingBackend> framing_ = makeLineFraming(LineFraming::rtu);
    std::atomic<uint64_t> exchanges_{0}, lateBytesDiscarded_{0}, reconnections_{0};
    ObserverList<const FrameRecord&> frames_, sends_;
    ObserverList<LineEvent, int> lineEvents_;
    TransferWatcher watcher_;
};
