#include "serve/modbus_server.h"

#include "link/frames.h"
#include "link/mbap.h"
#include "serve/modbus_desk.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <deque>
#include <map>

namespace {

// A request's PDU is function, address and count or value.
constexpr std::size_t kRequestPdu = 5;
constexpr uint16_t kMaxReadCount = 125;

} // namespace

// Lives on the server's thread, where its sockets are.
class ModbusListener : public QObject {
  public:
    ModbusListener(ModbusDesk& desk, ModbusServerOptions options)
        : desk_(desk), options_(std::move(options)), tcp_(new QTcpServer(this)) {
        connect(tcp_, &QTcpServer::newConnection, this, [this] { accept(); });
    }

    std::string listen() {
        if (!tcp_->listen(QHostAddress(QString::fromStdString(options_.listen.host)),
                          options_.listen.port))
            return tcp_->errorString().toStdString();
        return "";
    }
    quint16 port() const { return tcp_->serverPort(); }

  private:
    struct Client {
        QTcpSocket* socket = nullptr;
        QTimer* idle = nullptr;
        MbapReceiver receiver;
        std::deque<std::vector<uint8_t>> waiting; // whole frames, as the RTU frame they stand for
        std::deque<uint16_t> transactions;        // of each frame waiting
        bool inFlight = false;
        std::shared_ptr<std::atomic<bool>> gone = std::make_shared<std::atomic<bool>>(false);
    };

    void accept() {
        while (QTcpSocket* socket = tcp_->nextPendingConnection()) {
            if (int(clients_.size()) >= options_.maxConnections) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            const quint64 serial = ++serials_;
            Client& c = clients_[serial];
            c.socket = socket;
            c.idle = new QTimer(socket);
            c.idle->setSingleShot(true);
            connect(c.idle, &QTimer::timeout, this, [this, serial] { idle(serial); });
            connect(socket, &QTcpSocket::readyRead, this, [this, serial] { readable(serial); });
            connect(socket, &QTcpSocket::disconnected, this, [this, serial] { drop(serial); });
            c.idle->start(options_.idleTimeout);
            if (socket->bytesAvailable() > 0) readable(serial);
        }
    }

    void idle(quint64 serial) {
        const auto it = clients_.find(serial);
        if (it == clients_.end()) return;
        // Waiting on the line is no idleness of the client's.
        if (it->second.inFlight) return it->second.idle->start(options_.idleTimeout);
        drop(serial);
    }

    void readable(quint64 serial) {
        const auto it = clients_.find(serial);
        if (it == clients_.end()) return;
        Client& c = it->second;
        c.idle->start(options_.idleTimeout);
        uint8_t bytes[kMbapHeader + kMbapMaxLength];
        while (c.socket->bytesAvailable() > 0) {
            const int wanted = c.receiver.wanted();
            const qint64 got = c.socket->read(reinterpret_cast<char*>(bytes), wanted);
            if (got <= 0) break;
            c.receiver.take(bytes, int(got));
            // Where the next frame starts cannot be known.
            if (c.receiver.broken() || (c.receiver.size() >= 4 && !c.receiver.isModbus()))
                return drop(serial);
            if (!c.receiver.whole()) continue;
            uint8_t frame[kMaxReply];
            const int count = c.receiver.rtuFrame(frame);
            c.transactions.push_back(c.receiver.transaction());
            c.waiting.emplace_back(frame, frame + count - 2); // without the CRC it was given
            c.receiver.clear();
            if (c.waiting.size() > options_.maxWaiting + (c.inFlight ? 0 : 1)) return drop(serial);
        }
        next(serial);
    }

    // The client's next request, once nothing of its is on the line.
    void next(quint64 serial) {
        const auto it = clients_.find(serial);
        if (it == clients_.end()) return;
        Client& c = it->second;
        while (!c.inFlight && !c.waiting.empty()) {
            const std::vector<uint8_t> frame = std::move(c.waiting.front());
            const uint16_t transaction = c.transactions.front();
            c.waiting.pop_front();
            c.transactions.pop_front();
            const uint8_t unit = frame[0];
            const std::vector<uint8_t> pdu(frame.begin() + 1, frame.end());
            if (const auto refused = check(pdu)) {
                if (!send(c, transaction, unit, *refused)) return drop(serial);
                continue;
            }
            c.inFlight = true;
            ModbusAsk a;
            a.unit = unit;
            a.function = pdu[0];
            a.address = uint16_t(pdu[1] << 8 | pdu[2]);
            a.countOrValue = uint16_t(pdu[3] << 8 | pdu[4]);
            a.gone = c.gone;
            a.answer = [self = QPointer<ModbusListener>(this), serial, transaction,
                        unit](std::vector<uint8_t> answer) {
                QMetaObject::invokeMethod(
                    self.data(),
                    [self, serial, transaction, unit, answer = std::move(answer)] {
                        if (self) self->answered(serial, transaction, unit, answer);
                    },
                    Qt::QueuedConnection);
            };
            desk_.ask(std::move(a));
        }
    }

    // The exception a request gets before it goes anywhere, or nothing.
    static std::optional<std::vector<uint8_t>> check(const std::vector<uint8_t>& pdu) {
        const uint8_t function = pdu.empty() ? 0 : pdu[0];
        if (function != kFnReadHolding && function != kFnReadInput && function != kFnWriteSingle)
            return exceptionPdu(function, modbus_exception::illegalFunction);
        if (pdu.size() != kRequestPdu)
            return exceptionPdu(function, modbus_exception::illegalValue);
        if (function == kFnWriteSingle) return std::nullopt;
        const int address = pdu[1] << 8 | pdu[2], count = pdu[3] << 8 | pdu[4];
        if (count < 1 || count > kMaxReadCount)
            return exceptionPdu(function, modbus_exception::illegalValue);
        if (address + count > 0x10000)
            return exceptionPdu(function, modbus_exception::illegalAddress);
        return std::nullopt;
    }

    void answered(quint64 serial, uint16_t transaction, uint8_t unit,
                  const std::vector<uint8_t>& pdu) {
        const auto it = clients_.find(serial);
        if (it == clients_.end()) return; // gone meanwhile
        Client& c = it->second;
        c.inFlight = false;
        c.idle->start(options_.idleTimeout);
        if (!send(c, transaction, unit, pdu)) return drop(serial);
        next(serial);
    }

    // False when the client does not read what it is sent.
    bool send(Client& c, uint16_t transaction, uint8_t unit, const std::vector<uint8_t>& pdu) {
        const int length = int(pdu.size()) + 1;
        QByteArray out;
        out.reserve(kMbapHeader - 1 + length);
        for (const int b :
             {transaction >> 8, transaction & 0xFF, 0, 0, length >> 8, length & 0xFF, int(unit)})
            out.append(char(b));
        out.append(reinterpret_cast<const char*>(pdu.data()), qsizetype(pdu.size()));
        c.socket->write(out);
        return c.socket->bytesToWrite() <= options_.maxUnsentBytes;
    }

    void drop(quint64 serial) {
        const auto it = clients_.find(serial);
        if (it == clients_.end()) return;
        *it->second.gone = true;
        QTcpSocket* socket = it->second.socket;
        clients_.erase(it);
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }

    ModbusDesk& desk_;
    ModbusServerOptions options_;
    QTcpServer* tcp_;
    std::map<quint64, Client> clients_;
    quint64 serials_ = 0;
};

std::variant<std::unique_ptr<ModbusServer>, std::string>
ModbusServer::start(ModbusDesk& desk, ModbusServerOptions options) {
    std::unique_ptr<ModbusServer> server(new ModbusServer);
    server->listener_ = std::make_unique<OwnThread<ModbusListener>>(
        "modbus", [&] { return new ModbusListener(desk, std::move(options)); });
    std::string why;
    server->listener_->call([&, l = server->listener_->object()] {
        why = l->listen();
        server->port_ = l->port();
    });
    if (!why.empty()) return why;
    return server;
}

ModbusServer::~ModbusServer() = default;
