#pragma once
// Stands in for the prefix window until it exists: shows which database
// folder is open, modally, until the user closes it.

namespace pu {

void ShowPrefixWindow();

} // namespace pu
