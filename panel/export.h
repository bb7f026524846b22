// The result list and the hit rows as text for other programs: tab-separated, CSV
// (RFC 4180, UTF-8 with a byte-order mark and a Japanese header row, as spreadsheet
// programs in Japan expect) and JSON.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "panel/kwicrows.h"
#include "panel/searchcommand.h"

namespace vyn {

enum class ExportFormat { kTsv, kCsv, kJson };

// "tsv", "csv" or "json"; false, format untouched, for anything else.
bool ParseExportFormat(std::string_view name, ExportFormat& format);
// "tsv", "csv" or "json": the file name extension of the format.
std::string_view ExportExtension(ExportFormat format);

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// The result entries of a search:
//   tsv   one line per entry: category, book, volume, page, hits, record; then the
//         count line ("全部で N 頁で、M 箇所でした。")
//   csv   類別,書名,巻,頁,箇所 and one record per entry
//   json  {"entries": [{"category", "book", "volume", "page", "hits", "record"}...],
//          "pages": N, "hits": M}
// With folders, each entry's folder leads: a first field in tsv and csv (header
// フォルダ), the first key "folder" in json.
std::string ExportResults(const std::vector<SearchNodeTag>& entries, std::uint64_t totalHits,
                          ExportFormat format, bool folders = false);

// The hit rows:
//   tsv   one line per row: record, anchor, category, book, volume, page, hit, left,
//         right; no header
//   csv   レコード,アンカー,類別,書名,巻,頁,前,語,後 and one record per row
//   json  an array of objects with the keys record, anchor, category, book, volume,
//         page, left, hit, right
// In tsv, a tab or line break inside a field becomes a space. With folders, each
// row's folder leads, as for ExportResults.
std::string ExportKwic(const std::vector<KwicRow>& rows, ExportFormat format, bool folders = false);

// One line per hit form, "<hit>\t<count>", in the order given.
std::string ExportForms(const std::vector<std::pair<std::u16string, std::size_t>>& forms);

}  // namespace vyn
