#include "web/web_control.h"

#include "runs/run_record.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cctype>
#include <cmath>

namespace {

bool plainText(const std::string& s, std::size_t most) {
    if (s.empty() || s.size() > most) return false;
    for (const char c : s)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-')) return false;
    return true;
}

} // namespace

std::variant<WebCommand, std::string> parseControl(std::string_view body) {
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray(body.data(), qsizetype(body.size())));
    if (!doc.isObject()) return std::string("the body is a JSON object");
    const QJsonObject o = doc.object();
    for (const QString& key : o.keys())
        if (key != "line" && key != "id" && key != "action" && key != "program" && key != "value")
            return "no key " + key.toStdString() + ": line, id, action, program and value";
    WebCommand c;
    c.line = o.value("line").toString().toStdString();
    if (!plainText(c.line, 64)) return std::string("line names a line of the bridge");
    const double id = o.value("id").toDouble(-1);
    if (id < 1 || id > 247 || std::floor(id) != id) return std::string("id is 1 to 247");
    c.id = int(id);
    const std::string action = o.value("action").toString().toStdString();
    if (action == "start") {
        c.verb = "run", c.name = "start";
        c.payload = o.value("program").toString().toStdString();
        if (!plainText(c.payload, 64))
            return std::string("start takes the program by its name in the library");
        return c;
    }
    if (action == "pause" || action == "continue" || action == "stop" || action == "skip") {
        c.verb = "run", c.name = action == "continue" ? "resume" : action;
        return c;
    }
    const QJsonValue v = o.value("value");
    c.payload = v.isDouble() ? QString::number(v.toDouble(), 'g', 10).toStdString()
                             : v.toString().toStdString();
    // The line judges the value as it judges the broker's; here its size.
    if (action == "mark") {
        c.verb = "run", c.name = action;
        if (const std::string why = markTextProblem(c.payload); !why.empty())
            return "mark " + why;
        return c;
    }
    if (action == "sv" || action == "mode" || action == "extend" || action == "target" ||
        action == "rate") {
        c.verb = action == "sv" || action == "mode" ? "set" : "run", c.name = action;
        if (c.payload.empty() || c.payload.size() > 32) return action + " takes a value";
        return c;
    }
    return std::string(
        "action is start, pause, continue, stop, skip, extend, target, rate, mark, sv or mode");
}
