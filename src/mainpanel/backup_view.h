#pragma once
// The backup's read as the operator sees it, before "Save to file…" writes.

class Controller;

// Reads what the parameter file holds that this connection has not read yet,
// showing each value as it comes. True when the record holds the
// controller's value of every field the file holds; otherwise the operator
// has been told why nothing is saved.
bool readForBackup(Controller& c);
