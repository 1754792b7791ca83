#pragma once
// Addresses this program hands out: the contact links of the main window and
// the scan report page of the update program.

namespace lirvo::update {

// Author contact: path "/msgrd", query keys v, uin, site, menu in that order.
inline constexpr const char kAuthorLink[] =
    "http://wpa.qq.com/msgrd?v=3&uin=1718090466&site=qq&menu=yes";
// Users' group: path "/wpa/qunwpa", one key "idkey" of 64 hexadecimal digits.
inline constexpr const char kGroupLink[] =
    "http://shang.qq.com/wpa/qunwpa?idkey="
    "5c2f0e7a9b41d3866f0a2c7e19b54d08a3f6e21c7b9d04e5a8c13f7260b9de4f";
// Scan report of the update program: "/report/" + 32 hexadecimal digits + ".html".
inline constexpr const char kScanReportPage[] =
    "http://www.virustotal.com/report/9e107d9d372bb6826bd81d3542a419d6.html";

}  // namespace lirvo::update
