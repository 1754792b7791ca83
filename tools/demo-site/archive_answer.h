#pragma once
// How the download host answers an archive request that may carry a Range and
// an If-Range: the whole archive, one part of it, or 416.
#include <cstddef>
#include <string>

namespace lirvo::demo {

struct ArchiveValidators {
  std::string etag;          // quoted, e.g. "\"12345-9c40\""
  std::string lastModified;  // an HTTP date
};

struct ArchiveAnswer {
  int status = 200;  // 200, 206 or 416
  std::size_t start = 0;
  std::size_t length = 0;    // bytes of the body
  std::string contentRange;  // empty for a 200
};

// `range` and `ifRange` are the header values ("" when absent). One range of
// the form "bytes=N-", "bytes=N-M" or "bytes=-M" is honoured when the If-Range
// (if any) equals either validator; anything else gets the whole archive.
ArchiveAnswer AnswerArchive(std::size_t size, const std::string& range, const std::string& ifRange,
                            const ArchiveValidators& validators);

}  // namespace lirvo::demo
