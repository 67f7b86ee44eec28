#pragma once
// Why a socket of a notification's send failed, in the words a log shows:
// "connection refused", "host not found", "timed out", ...
#include <string>

class QAbstractSocket;

std::string socketReason(const QAbstractSocket& socket);
