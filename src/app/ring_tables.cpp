#include "app/ring_tables.h"

#include "params/choice_codes.h"
#include "widgets/ring.h"

void registerChoiceTables() {
    for (const ChoiceTable& table : choices::tables) {
        std::vector<std::pair<int, std::string>> items;
        for (const Choice& c : table.choices)
            items.emplace_back(c.code, std::string(c.label));
        registerRingTable(std::string(table.name), std::move(items));
    }
}
