#pragma once
// What the demo site serves, made up from the seed: categories, entries and
// the bytes of every page, download page and archive. No networking here.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "demo_site.h"
#include "site_markers.h"

namespace lirvo::demo {

class SiteContent {
 public:
  explicit SiteContent(const SiteOptions& options);

  const std::vector<Category>& Categories() const { return m_categories; }
  const Markers& MarkerTexts() const { return m_markers; }

  Text ListingPage(const Category& category, int page) const;
  Text NotFoundPage() const;
  Text DownloadPage(const Entry& entry) const;
  Bytes Archive(const Entry& entry) const;
  std::uint32_t CoverSeed(const Entry& entry) const;

  // Lookups by the variable parts of request paths; nullptr when unknown.
  const Category* CategoryOfListing(const std::string& path, int* page) const;
  const Entry* EntryBySerial(const Text& serial) const;
  const Entry* EntryByCover(const Text& coverPath) const;

 private:
  Text RenderEntry(const Entry& entry) const;
  Text PageHead(const Category& category, int page) const;
  Text PageFoot(const Category& category, int page) const;

  SiteOptions m_options;
  Markers m_markers;
  std::vector<Category> m_categories;
  std::map<Text, const Entry*> m_bySerial;
  std::map<Text, const Entry*> m_byCover;
};

}  // namespace lirvo::demo
