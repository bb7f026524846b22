#include "panel/export.h"

#include <cstdio>

#include "encoding/utf.h"

namespace vyn {

namespace {

// UTF-8 that any reader takes: an unpaired surrogate becomes U+FFFD.
std::string Utf8(std::u16string_view text) {
    std::u16string whole(text);
    for (std::size_t i = 0; i < whole.size(); ++i) {
        const char16_t c = whole[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < whole.size() && whole[i + 1] >= 0xDC00 &&
            whole[i + 1] <= 0xDFFF) {
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            whole[i] = u'\uFFFD';
        }
    }
    return Utf16ToUtf8String(whole);
}

// A text cell that a spreadsheet would run as a formula gets a leading apostrophe,
// so that it opens as the text it is.
std::string TextCell(std::u16string_view text) {
    std::string cell = Utf8(text);
    if (!cell.empty() && std::string_view("=+-@\t\r").find(cell.front()) != std::string_view::npos) {
        cell.insert(0, 1, '\'');
    }
    return cell;
}

std::string TsvField(std::u16string_view text) {
    std::string field = TextCell(text);
    for (char& c : field) {
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    }
    return field;
}

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string CsvRecord(const std::vector<std::string>& fields) {
    std::string record;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) record += ',';
        record += CsvField(fields[i]);
    }
    return record + "\r\n";
}

std::string JsonString(std::u16string_view text) {
    std::string out = "\"";
    for (char c : Utf8(text)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + '"';
}

std::string Number(std::uint64_t value) { return std::to_string(value); }

}  // namespace

bool ParseExportFormat(std::string_view name, ExportFormat& format) {
    if (name == "tsv") {
        format = ExportFormat::kTsv;
    } else if (name == "csv") {
        format = ExportFormat::kCsv;
    } else if (name == "json") {
        format = ExportFormat::kJson;
    } else {
        return false;
    }
    return true;
}

std::string_view ExportExtension(ExportFormat format) {
    switch (format) {
        case ExportFormat::kTsv:
            return "tsv";
        case ExportFormat::kCsv:
            return "csv";
        case ExportFormat::kJson:
            break;
    }
    return "json";
}

std::string ExportResults(const std::vector<SearchNodeTag>& entries, std::uint64_t totalHits,
                          ExportFormat format, bool folders) {
    std::string out;
    switch (format) {
        case ExportFormat::kTsv:
            for (const SearchNodeTag& entry : entries) {
                if (folders) out += TsvField(entry.folder) + '\t';
                out += TsvField(entry.category) + '\t' + TsvField(entry.book) + '\t' +
                       TsvField(entry.volume) + '\t' + Number(entry.pageNo) + '\t' +
                       Number(entry.hits) + '\t' + Number(entry.pageIndex) + '\n';
            }
            out += CSearchCommand::CountLine(entries.size(), totalHits) + '\n';
            break;
        case ExportFormat::kCsv:
            out = std::string(kUtf8ByteOrderMark) + (folders ? "フォルダ," : "") +
                  CsvRecord({"類別", "書名", "巻", "頁", "箇所"});
            for (const SearchNodeTag& entry : entries) {
                if (folders) out += CsvField(TextCell(entry.folder)) + ',';
                out += CsvRecord({TextCell(entry.category), TextCell(entry.book), TextCell(entry.volume),
                                  Number(entry.pageNo), Number(entry.hits)});
            }
            break;
        case ExportFormat::kJson:
            out = "{\"entries\": [";
            for (std::size_t i = 0; i < entries.size(); ++i) {
                const SearchNodeTag& entry = entries[i];
                out += i == 0 ? "\n" : ",\n";
                out += "  {";
                if (folders) out += "\"folder\": " + JsonString(entry.folder) + ", ";
                out += "\"category\": " + JsonString(entry.category) +
                       ", \"book\": " + JsonString(entry.book) +
                       ", \"volume\": " + JsonString(entry.volume) +
                       ", \"page\": " + Number(entry.pageNo) + ", \"hits\": " + Number(entry.hits) +
                       ", \"record\": " + Number(entry.pageIndex) + "}";
            }
            out += entries.empty() ? "]" : "\n]";
            out += ", \"pages\": " + Number(entries.size()) + ", \"hits\": " + Number(totalHits) +
                   "}\n";
            break;
    }
    return out;
}

std::string ExportKwic(const std::vector<KwicRow>& rows, ExportFormat format, bool folders) {
    std::string out;
    switch (format) {
        case ExportFormat::kTsv:
            for (const KwicRow& row : rows) {
                if (folders) out += TsvField(row.folder) + '\t';
                out += Number(row.record) + '\t' + Number(static_cast<std::uint64_t>(row.anchor)) +
                       '\t' + TsvField(row.category) + '\t' + TsvField(row.book) + '\t' +
                       TsvField(row.volume) + '\t' + Number(row.page) + '\t' + TsvField(row.hit) +
                       '\t' + TsvField(row.left) + '\t' + TsvField(row.right) + '\n';
            }
            break;
        case ExportFormat::kCsv:
            out = std::string(kUtf8ByteOrderMark) + (folders ? "フォルダ," : "") +
                  CsvRecord({"レコード", "アンカー", "類別", "書名", "巻", "頁", "前", "語", "後"});
            for (const KwicRow& row : rows) {
                if (folders) out += CsvField(TextCell(row.folder)) + ',';
                out += CsvRecord({Number(row.record), Number(static_cast<std::uint64_t>(row.anchor)),
                                  TextCell(row.category), TextCell(row.book), TextCell(row.volume),
                                  Number(row.page), TextCell(row.left), TextCell(row.hit),
                                  TextCell(row.right)});
            }
            break;
        case ExportFormat::kJson:
            out = "[";
            for (std::size_t i = 0; i < rows.size(); ++i) {
                const KwicRow& row = rows[i];
                out += i == 0 ? "\n" : ",\n";
                out += "  {";
                if (folders) out += "\"folder\": " + JsonString(row.folder) + ", ";
                out += "\"record\": " + Number(row.record) +
                       ", \"anchor\": " + Number(static_cast<std::uint64_t>(row.anchor)) +
                       ", \"category\": " + JsonString(row.category) +
                       ", \"book\": " + JsonString(row.book) +
                       ", \"volume\": " + JsonString(row.volume) + ", \"page\": " + Number(row.page) +
                       ", \"left\": " + JsonString(row.left) + ", \"hit\": " + JsonString(row.hit) +
                       ", \"right\": " + JsonString(row.right) + "}";
            }
            out += rows.empty() ? "]\n" : "\n]\n";
            break;
    }
    return out;
}

std::string ExportForms(const std::vector<std::pair<std::u16string, std::size_t>>& forms) {
    std::string out;
    for (const auto& [hit, count] : forms) out += TsvField(hit) + '\t' + Number(count) + '\n';
    return out;
}

}  // namespace vyn
