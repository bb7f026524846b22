// Page rebuild: a stored page is parsed into title and two cells, the marked cell is
// split into main text and annotations, and the page is written into the template.
#include <algorithm>
#include <string_view>

#include "textstore/filelist.h"
#include "textstore/storeformat.h"

namespace vyn {

namespace {

bool StartsWith(const ByteString& tag, std::string_view prefix) {
    return tag.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), tag.begin(),
                      [](char p, std::uint8_t t) { return static_cast<std::uint8_t>(p) == t; });
}

}  // namespace

void CFileList::ParsePage(const ByteString& page, std::vector<HTMLNode>& nodes) {
    ByteString title, cell1, cell2, tag;
    bool inTag = false;
    int section = 0;
    auto target = [&]() -> ByteString* {
        switch (section) {
            case 1: return &title;
            case 3: return &cell1;
            case 5: return &cell2;
            default: return nullptr;
        }
    };
    cell1.reserve(10000);
    for (std::uint8_t byte : page) {
        if (!inTag) {
            if (byte == '<') {
                tag.assign(1, byte);
                inTag = true;
            } else if (ByteString* t = target()) {
                t->push_back(byte);
            }
            continue;
        }
        tag.push_back(byte);
        if (byte != '>') continue;
        if (StartsWith(tag, "<title") && section == 0) {
            section = 1;
        } else if (StartsWith(tag, "<TD")) {
            if (section == 2) section = 3;
            else if (section == 4) section = 5;
        } else if (StartsWith(tag, "</title>")) {
            section = 2;
        } else if (StartsWith(tag, "</TD")) {
            if (section == 3) section = 4;
            else if (section == 5) section = 6;
        } else if (ByteString* t = target()) {
            t->insert(t->end(), tag.begin(), tag.end());
        }
        tag.clear();
        inTag = false;
    }
    nodes.push_back(HTMLNode{std::move(title)});
    nodes.push_back(HTMLNode{std::move(cell1)});
    nodes.push_back(HTMLNode{std::move(cell2)});
}

void SplitAnnotations(const HTMLNode& node, std::vector<FilterItem>& items) {
    std::vector<FilterItem> result;
    result.push_back(FilterItem{{}, 0});
    ByteString tag;
    bool inTag = false;
    int kind = 0;
    for (std::uint8_t byte : node.text) {
        if (!inTag) {
            if (byte == '<') {
                tag.assign(1, byte);
                inTag = true;
            } else {
                result.back().text.push_back(byte);
            }
            continue;
        }
        tag.push_back(byte);
        if (byte != '>') continue;
        if (StartsWith(tag, kNoteOpen)) {
            kind = 1;
            result.push_back(FilterItem{{}, 1});
        } else if (kind == 1 && StartsWith(tag, kNoteClose)) {
            kind = 0;
            FilterItem main{{}, 0};
            main.text.reserve(1000);
            result.push_back(std::move(main));
        } else {
            ByteString& text = result.back().text;
            text.insert(text.end(), tag.begin(), tag.end());
        }
        tag.clear();
        inTag = false;
    }
    for (auto& item : result) items.push_back(std::move(item));
}

int CFileList::ApplyTerm(const ByteString& source, ByteString& out, const ByteString& term,
                         int cellChoice, SearchScope scope, int& anchorCounter) {
    std::vector<HTMLNode> nodes;
    ParsePage(source, nodes);
    HTMLNode& node = nodes[static_cast<std::size_t>(cellChoice == 1 ? 2 : 1)];
    std::vector<FilterItem> items;
    SplitAnnotations(node, items);

    ByteString cell;
    cell.reserve(10000);
    int total = 0;
    for (const FilterItem& item : items) {
        const bool note = item.kind == 1;
        const bool marked = scope == SearchScope::kWhole || (scope == SearchScope::kMain && !note) ||
                            (scope == SearchScope::kNotes && note);
        if (note) Append(cell, kNoteOpen);
        if (marked) {
            ByteString text;
            text.reserve(100000);
            total += MarkTerm(item.text, term, text, anchorCounter);
            cell.insert(cell.end(), text.begin(), text.end());
        } else {
            cell.insert(cell.end(), item.text.begin(), item.text.end());
        }
        if (note) Append(cell, kNoteClose);
    }
    node.text = std::move(cell);

    Append(out, kT1);
    Append(out, AsView(nodes[0].text));
    Append(out, kT2);
    Append(out, AsView(nodes[1].text));
    Append(out, kT3);
    Append(out, AsView(nodes[2].text));
    Append(out, kT4);
    return total;
}

}  // namespace vyn
