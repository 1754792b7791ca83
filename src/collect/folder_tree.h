#pragma once

namespace lirvo::collect {

// Creates the library and cache folders under the program folder, one level at
// a time; folders that exist are left alone and nothing is reported.
void CreateFolderTree();

// Before a run writes (under its lock): stops it, naming the place, when a
// file stands where a folder of the library must be or a folder where the
// novel index must be; and removes the temporary files earlier runs left.
void PrepareLibrary();

}  // namespace lirvo::collect
