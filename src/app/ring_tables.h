#pragma once
// Hands the controller's choice tables to the panel loader, so every ring
// that names one shows exactly the codes the controller knows.
void registerChoiceTables();
