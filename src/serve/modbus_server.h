#pragma once
// The Modbus TCP server the bridge offers other masters, on a thread of its
// own with its own event loop, as the web view's is: it frames and checks
// what clients send and hands each request to the line through the desk
// (modbus_desk.h), so the line's thread never waits for a client and a
// client never holds up the line.
//
// Bounds: at most maxConnections clients (one more is closed at once); one
// request of a client on the line at a time, at most maxWaiting more behind
// it (beyond them the client is dropped); a header with a protocol id other
// than 0 or a length no request has (more than 260 bytes in all) drops its
// client, as framing cannot be found again; a client that sends nothing for
// idleTimeout while nothing of its is on the line is dropped, and so is one
// that does not read its answers (more than maxUnsentBytes waiting). A
// client dropped takes nothing of the line with it.
//
// A function other than 03, 04 and 06 gets exception 01, a request of the
// wrong length or count 03, one past the last register 02, without the
// line hearing of it.
#include "web/listen_address.h"
#include "web/own_thread.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <variant>

class ModbusDesk;
class ModbusListener;

struct ModbusServerOptions {
    ListenAddress listen;
    int maxConnections = 8;
    std::size_t maxWaiting = 4;
    std::chrono::milliseconds idleTimeout{60000};
    qint64 maxUnsentBytes = 64 * 1024;
};

class ModbusServer {
  public:
    // Made on the main thread before other threads use Qt (it makes the
    // QCoreApplication Qt's sockets need when none exists). The desk's line
    // threads end before the server goes.
    static std::variant<std::unique_ptr<ModbusServer>, std::string>
    start(ModbusDesk& desk, ModbusServerOptions options);
    ~ModbusServer();
    ModbusServer(const ModbusServer&) = delete;
    ModbusServer& operator=(const ModbusServer&) = delete;

    quint16 port() const { return port_; }

  private:
    ModbusServer() = default;

    std::unique_ptr<OwnThread<ModbusListener>> listener_;
    quint16 port_ = 0;
};
