#include "alarms/socket_reason.h"

#include <QAbstractSocket>

std::string socketReason(const QAbstractSocket& s) {
    switch (s.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return "connection refused";
    case QAbstractSocket::HostNotFoundError:
        return "host not found";
    case QAbstractSocket::SocketTimeoutError:
        return "timed out";
    case QAbstractSocket::RemoteHostClosedError:
        return "closed by the server before its reply";
    default:
        return s.errorString().toStdString();
    }
}
