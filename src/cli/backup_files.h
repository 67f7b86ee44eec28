#pragma once
// Where `backup` writes each controller's parameter file.
#include <map>
#include <string>
#include <variant>
#include <vector>

// target is a file (one controller only), a folder (each controller's file
// is idN.prm in it; with one controller, named with its trailing '/'), or a
// name holding "{id}", which each controller's id takes the place of. The file of each id, or why
// target will not do.
std::variant<std::string, std::map<int, std::string>> backupFiles(const std::string& target,
                                                                  const std::vector<int>& ids);
