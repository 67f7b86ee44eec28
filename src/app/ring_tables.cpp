#include "app/ring_tables.h"

#include "params/choice_codes.h"
#include "widgets/ring.h"

namespace {

void registerTable(std::string_view name, std::span<const Choice> choices) {
    std::vector<std::pair<int, std::string>> items;
    for (const Choice& c : choices)
        items.emplace_back(c.code, std::string(c.label));
    registerRingTable(std::string(name), std::move(items));
}

} // namespace

void registerChoiceTables() {
    for (const ChoiceTable& table : choices::tables)
        registerTable(table.name, table.choices);
    registerTable(choices::stepActionTable, choices::stepAction);
}
