#pragma once
// A fresh, empty temporary folder that serves as the program folder for the
// lifetime of the object:
//
//   lirvo::test::TempFolder folder;        // made, set as ProgramFolder(), made current
//   WriteFile(folder.Path("a.txt"), "x");  // folder.Path() + "\" + name (GBK)
//
// On destruction the folder is removed with everything in it, and the previous
// program folder and current directory come back. Paths are GBK texts, as the
// program builds them; NativePath() gives the POSIX (UTF-8) path for checks
// with std::filesystem.
#include <string>

#include "services/text.h"

namespace lirvo::test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder itself (GBK, no trailing separator); equals ProgramFolder().
  const Text& Path() const { return m_path; }
  // Path() + "\" + relative; `relative` may hold further backslashes.
  Text Path(const Text& relative) const { return m_path + "\\" + relative; }
  // The folder as a POSIX path (UTF-8).
  const std::string& NativePath() const { return m_native; }

 private:
  Text m_path;
  std::string m_native;
  Text m_previousFolder;
  std::string m_previousDirectory;
};

}  // namespace lirvo::test
