#include "registry/row_tips.h"

#include <algorithm>

#include "common/unicode.h"

namespace wd::registry {

std::string TipLine(std::string_view text) {
    std::string out;
    out.reserve(std::min(text.size(), kMaxTipLineBytes) + 4);
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t len = common::utf8SequenceLength(lead);
        if (len == 0 || i + len > text.size()) len = 1;
        if (out.size() + len > kMaxTipLineBytes) {
            out += "…";
            break;
        }
        if (lead == '\r' || lead == '\n' || lead == '\t') {
            out += ' ';
        } else if (lead == '\0') {
            out += "␀";
        } else {
            out.append(text.substr(i, len));
        }
        i += len;
    }
    return out;
}

bool IsStartValue(std::string_view name, platform::Text& text) {
    for (const char* start : kStartValueNames)
        if (text.sameName(name, start)) return true;
    return false;
}

std::string ValuesToolTip(const std::vector<TipValue>& values, std::size_t total, platform::Text& text) {
    if (total == 0) return kNoValuesTip;
    std::vector<const TipValue*> order;
    for (bool own : {true, false})
        for (const char* start : kStartValueNames)
            for (const TipValue& v : values)
                if (v.subkey.empty() == own && text.sameName(v.value.Name, start)) order.push_back(&v);
    for (bool own : {true, false})
        for (const TipValue& v : values)
            if (v.subkey.empty() == own && !IsStartValue(v.value.Name, text)) order.push_back(&v);
    std::string tip;
    for (std::size_t k = 0; k < order.size() && k < kMaxTipValueLines; ++k) {
        if (!tip.empty()) tip += '\n';
        const ValueEntry& v = order[k]->value;
        std::string name = v.Name.empty() ? std::string(kDefaultValueTip) : v.Name;
        if (!order[k]->subkey.empty()) name = order[k]->subkey + "\\" + name;
        tip += TipLine(name + " = " + v.Text);
    }
    if (total > kMaxTipValueLines) {
        tip += "\n…（共 ";
        tip += std::to_string(total);
        tip += " 个值）";
    }
    return tip;
}

std::string FileOfCommand(std::string_view command) {
    if (!command.empty() && command.front() == '"') {
        const std::size_t close = command.find('"', 1);
        return std::string(command.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    }
    return std::string(command);
}

std::string AddOnToolTip(std::string_view clsid, std::string_view file, bool fileMissing) {
    std::string tip = TipLine(clsid);
    if (!file.empty()) {
        tip += '\n';
        tip += TipLine(std::string(file) + (fileMissing ? kFileMissingTip : ""));
    }
    return tip;
}

}  // namespace wd::registry
