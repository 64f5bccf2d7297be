// The template bodies are compiled here only (the packaged header keeps them behind this switch).
#define SI_IMPLEMENTATION
#include "files/ini_text.h"

#include <algorithm>

namespace quenda {
namespace {

// A first line the parser cannot take for the file's comment, which it would keep out
// of reach: comments at the top of a file then stay with the entry below them.
constexpr std::string_view kLead = "\x01";

// Comment lines kept by the parser, each ended with CR LF (any CR inside dropped).
void appendComment(std::string& out, const char* comment) {
    if (!comment) return;
    std::string_view c(comment);
    while (!c.empty()) {
        const auto nl = c.find('\n');
        std::string_view line = c.substr(0, nl);
        for (char ch : line)
            if (ch != '\r') out += ch;
        out += "\r\n";
        if (nl == std::string_view::npos) break;
        c.remove_prefix(nl + 1);
    }
}

} // namespace

IniText::IniText() {
    ini_.SetUnicode(false);
    ini_.SetMultiKey(false);
    ini_.SetMultiLine(false);
    ini_.SetAllowKeyOnly(true); // a line without "=" survives a rewrite
}

IniText::~IniText() = default;

bool IniText::load(std::string_view text) {
    std::string data;
    data.reserve(kLead.size() + 2 + text.size());
    data.append(kLead).append("\r\n").append(text);
    // The parser stops at a NUL: a stray one must not hide the rest of the file.
    std::replace(data.begin() + std::ptrdiff_t(kLead.size()), data.end(), '\0', ' ');
    return ini_.LoadData(data.data(), data.size()) >= 0;
}

bool IniText::hasSection(const char* section) const { return ini_.GetSectionSize(section) >= 0; }

const char* IniText::value(const char* section, const char* key) const { return ini_.GetValue(section, key, nullptr); }

bool IniText::set(const char* section, const char* key, const char* value) {
    return ini_.SetValue(section, key, value) >= 0;
}

std::string IniText::text() const {
    using Names = CSimpleIniA::TNamesDepend;
    using Order = CSimpleIniA::Entry::LoadOrder;
    Names sections;
    ini_.GetAllSections(sections);
    sections.sort(Order());
    // Keys before the first section header belong to the nameless section: it goes first.
    sections.sort([](const CSimpleIniA::Entry& a, const CSimpleIniA::Entry& b) { return !*a.pItem && *b.pItem; });

    std::string out;
    for (const auto& section : sections) {
        appendComment(out, section.pComment);
        if (*section.pItem) {
            out += '[';
            out += section.pItem;
            out += "]\r\n";
        }
        Names keys;
        ini_.GetAllKeys(section.pItem, keys);
        keys.sort(Order());
        keys.remove_if([](const CSimpleIniA::Entry& k) { return kLead == k.pItem; });
        if (!*section.pItem && keys.empty() && !section.pComment) continue;
        for (const auto& key : keys) {
            Names values;
            ini_.GetAllValues(section.pItem, key.pItem, values);
            for (const auto& v : values) {
                appendComment(out, v.pComment);
                out += key.pItem;
                if (*v.pItem) {
                    out += '=';
                    out += v.pItem;
                }
                out += "\r\n";
            }
        }
        out += "\r\n";
    }
    return out;
}

} // namespace quenda
