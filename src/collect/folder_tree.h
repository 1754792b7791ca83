#pragma once

namespace lirvo::collect {

// Creates the library and cache folders under the program folder, one level at
// a time; folders that exist are left alone and nothing is reported.
void CreateFolderTree();

}  // namespace lirvo::collect
